#include "PatientReport.h"

#include "PatientReportPageWriter.h"

#include <QCoreApplication>
#include <QPrinter>
#include <qcustomplot.h>

namespace {

using Column = PatientReportPageWriter::Column;

// The plots are drawn at screen resolution so that their fonts and pens keep
// the proportions they have on screen; the output stays vector graphics.
constexpr int kReportDpi = 96;
constexpr double kTimeColumnMm = 36;
constexpr double kValueColumnMm = 18;
constexpr double kPlotHeightMm = 58;
constexpr double kMarginMm = 15;

QString Tr(const char *pText)
{
    return QCoreApplication::translate("PatientReport", pText);
}

// A first column as wide as the time column, then one column per value.
QList<Column> TableColumns(int iValues)
{
    QList<Column> columns{{kTimeColumnMm, Qt::AlignLeft}};
    for (int i = 0; i < iValues; ++i)
        columns << Column{kValueColumnMm, Qt::AlignRight};
    return columns;
}

QString SectionLine(const PatientReportSection &section)
{
    if (section.rows.isEmpty())
        return Tr("%1: no records in this period").arg(section.strTitle);
    const qsizetype iCount = section.rows.size();
    const QString count = iCount == 1 ? Tr("1 record") : Tr("%1 records").arg(iCount);
    return Tr("%1: %2, first %3, last %4")
        .arg(section.strTitle, count, PatientReportContent::TimeText(section.firstTime),
             PatientReportContent::TimeText(section.lastTime));
}

} // namespace

PatientReport::PatientReport(const PatientReportContent &content, QCustomPlot *pNIBPPlot,
                             QCustomPlot *pSPO2Plot, QCustomPlot *pTEMPPlot)
    : m_content(content), m_plots{pNIBPPlot, pSPO2Plot, pTEMPPlot},
      m_printTime(QDateTime::currentDateTime())
{
}

void PatientReport::PreparePrinter(QPrinter *pPrinter)
{
    pPrinter->setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                             QPageLayout::Millimeter);
}

int PatientReport::Print(QPrinter *pPrinter) const
{
    pPrinter->setResolution(kReportDpi);
    const int iPageCount = Layout(pPrinter, nullptr, 0);
    QCPPainter painter;
    if (!painter.begin(pPrinter))
        return 0;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.setMode(QCPPainter::pmNonCosmetic);
    Layout(pPrinter, &painter, iPageCount);
    painter.end();
    return iPageCount;
}

// Without a painter this only counts the pages.
int PatientReport::Layout(QPrinter *pPrinter, QCPPainter *pPainter, int iPageCount) const
{
    const QString strRunning =
        Tr("Vantrel Monitor - %1 - printed %2")
            .arg(m_content.PatientName(), PatientReportContent::TimeText(m_printTime));
    PatientReportPageWriter writer(pPrinter, pPainter, iPageCount, strRunning);
    WriteHeader(writer);
    WriteDetails(writer);
    if (m_content.IsEmpty()) {
        writer.Skip(writer.Mm(4));
        writer.Line(Tr("No records in this period"), PatientReportPageWriter::ReportFont(12, true));
        return writer.Finish();
    }
    WriteSummary(writer);
    WriteGraphs(writer);
    WriteTables(writer);
    return writer.Finish();
}

void PatientReport::WriteHeader(PatientReportPageWriter &writer) const
{
    writer.Line(Tr("Vantrel Monitor"), PatientReportPageWriter::ReportFont(18, true));
    writer.Line(Tr("Patient report"), PatientReportPageWriter::ReportFont(12));
    const QFont font = PatientReportPageWriter::ReportFont(9);
    writer.Line(Tr("Printed: %1").arg(PatientReportContent::TimeText(m_printTime)), font);
    writer.Line(Tr("Period: %1").arg(m_content.PeriodText()), font);
    writer.Skip(writer.Mm(3));
}

// Label and value pairs in two columns; the address, often long, below them.
void PatientReport::WriteDetails(PatientReportPageWriter &writer) const
{
    const double dLabelMm = 30;
    const double dValueMm = writer.Width() / writer.Mm(1) / 2 - dLabelMm;
    const QList<Column> columns{{dLabelMm, Qt::AlignLeft},
                                {dValueMm, Qt::AlignLeft},
                                {dLabelMm, Qt::AlignLeft},
                                {dValueMm, Qt::AlignLeft}};
    const QFont font = PatientReportPageWriter::ReportFont(9);
    QList<QPair<QString, QString>> details = m_content.Details();
    QPair<QString, QString> address;
    if (!details.isEmpty())
        address = details.takeLast();
    const int iHalf = int(details.size() + 1) / 2;
    for (int i = 0; i < iHalf; ++i) {
        const QPair<QString, QString> left = details.at(i);
        const QPair<QString, QString> right = details.value(i + iHalf);
        writer.Row(columns, {left.first, left.second, right.first, right.second}, font);
    }
    if (!address.first.isEmpty())
        writer.Paragraph(address.first + QLatin1Char(' ') + address.second, font,
                         PatientReportPageWriter::CellPaddingMm);
    writer.Skip(writer.Mm(4));
}

void PatientReport::WriteSummary(PatientReportPageWriter &writer) const
{
    writer.Line(Tr("Summary"), PatientReportPageWriter::ReportFont(11, true));
    const QFont font = PatientReportPageWriter::ReportFont(9, true);
    for (const PatientReportSection &section : m_content.Sections()) {
        writer.EnsureSpace(writer.RowHeight(font) * 6);
        writer.Line(SectionLine(section), font);
        if (section.rows.isEmpty())
            continue;
        QStringList header = section.headers;
        header[0].clear();
        writer.Table(TableColumns(int(header.size()) - 1), header,
                     {QStringList{Tr("Minimum")} + section.minimum,
                      QStringList{Tr("Maximum")} + section.maximum,
                      QStringList{Tr("Mean")} + section.mean,
                      QStringList{Tr("Last value")} + section.lastValue});
        writer.Skip(writer.Mm(2));
    }
}

void PatientReport::WriteGraphs(PatientReportPageWriter &writer) const
{
    const QFont font = PatientReportPageWriter::ReportFont(11, true);
    const double dPlotHeight = writer.Mm(kPlotHeightMm);
    bool bHeading = false;
    for (int i = 0; i < 3; ++i) {
        QCustomPlot *pPlot = m_plots[i];
        if (!pPlot)
            continue;
        writer.EnsureSpace(writer.RowHeight(font) * 2 + dPlotHeight);
        if (!bHeading)
            writer.Line(Tr("Trends"), font);
        bHeading = true;
        writer.Line(m_content.Sections().at(i).strTitle, PatientReportPageWriter::ReportFont(9));
        if (QCPPainter *pPainter = writer.Painter()) {
            pPainter->save();
            pPainter->translate(0, writer.Top());
            pPlot->toPainter(pPainter, int(writer.Width()), int(dPlotHeight));
            pPainter->restore();
            // Printing lays the plot out at the paper's size; the screen's
            // layout comes back with the next replot.
            pPlot->replot(QCustomPlot::rpQueuedReplot);
        }
        writer.Skip(dPlotHeight + writer.Mm(3));
    }
}

void PatientReport::WriteTables(PatientReportPageWriter &writer) const
{
    const QFont font = PatientReportPageWriter::ReportFont(11, true);
    for (const PatientReportSection &section : m_content.Sections()) {
        if (section.rows.isEmpty())
            continue;
        writer.EnsureSpace(writer.RowHeight(font) * 4);
        writer.Line(Tr("%1 records").arg(section.strTitle), font);
        writer.Table(TableColumns(int(section.headers.size()) - 1), section.headers, section.rows);
        writer.Skip(writer.Mm(4));
    }
}

#include "PatientReportPageWriter.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPrinter>
#include <qcustomplot.h>

namespace {

const QColor kHeaderShade(214, 222, 235);
const QColor kRowShade(242, 245, 250);
const QColor kRule(120, 120, 120);
constexpr double kFooterMm = 8;
constexpr double kRunningHeaderMm = 9;

} // namespace

PatientReportPageWriter::PatientReportPageWriter(QPrinter *pPrinter, QCPPainter *pPainter,
                                                 int iPageCount, const QString &strRunningHeader)
    : m_pPrinter(pPrinter), m_pPainter(pPainter), m_iPageCount(iPageCount),
      m_strRunningHeader(strRunningHeader), m_tableFont(ReportFont(8)),
      m_tableHeaderFont(ReportFont(8, true)), m_smallFont(ReportFont(7.5))
{
    const QRectF area = pPrinter->pageLayout().paintRectPixels(pPrinter->resolution());
    m_dWidth = area.width();
    m_dBottom = area.height() - Mm(kFooterMm);
    m_dTableRow = RowHeight(m_tableFont);
}

QFont PatientReportPageWriter::ReportFont(double dPointSize, bool bBold)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(dPointSize);
    font.setBold(bBold);
    // No ligatures where the script does not need them: "first" is found and
    // copied from the PDF file as typed, not with an "fi" glyph. Faster, too.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

double PatientReportPageWriter::Mm(double dMm) const
{
    return dMm * m_pPrinter->resolution() / 25.4;
}

double PatientReportPageWriter::RowHeight(const QFont &font) const
{
    return QFontMetricsF(font, m_pPrinter).height() * 1.35;
}

bool PatientReportPageWriter::EnsureSpace(double dHeight)
{
    if (m_dY + dHeight <= m_dBottom)
        return false;
    NewPage();
    return true;
}

void PatientReportPageWriter::NewPage()
{
    DrawFooter();
    if (m_pPainter)
        m_pPrinter->newPage();
    ++m_iPage;
    m_dY = 0;
    DrawRunningHeader();
}

int PatientReportPageWriter::Finish()
{
    DrawFooter();
    return m_iPage;
}

void PatientReportPageWriter::DrawFooter()
{
    if (!m_pPainter)
        return;
    const QString text = QCoreApplication::translate("PatientReport", "Page %1 of %2")
                             .arg(m_iPage)
                             .arg(m_iPageCount);
    m_pPainter->setFont(m_smallFont);
    m_pPainter->setPen(Qt::black);
    const QRectF footer(0, m_dBottom, m_dWidth, Mm(kFooterMm));
    m_pPainter->drawText(footer, Qt::AlignHCenter | Qt::AlignBottom, text);
}

// Pages after the first say whose report they belong to.
void PatientReportPageWriter::DrawRunningHeader()
{
    if (m_pPainter) {
        m_pPainter->setFont(m_smallFont);
        m_pPainter->setPen(Qt::black);
        m_pPainter->drawText(QRectF(0, 0, m_dWidth, Mm(5)), Qt::AlignLeft | Qt::AlignVCenter,
                             m_strRunningHeader);
        m_pPainter->setPen(kRule);
        m_pPainter->drawLine(QPointF(0, Mm(6)), QPointF(m_dWidth, Mm(6)));
    }
    m_dY = Mm(kRunningHeaderMm);
}

void PatientReportPageWriter::Line(const QString &strText, const QFont &font, double dIndentMm)
{
    const double dHeight = RowHeight(font);
    EnsureSpace(dHeight);
    if (m_pPainter) {
        const double dIndent = Mm(dIndentMm);
        const QString text =
            QFontMetricsF(font, m_pPrinter).elidedText(strText, Qt::ElideRight, m_dWidth - dIndent);
        m_pPainter->setFont(font);
        m_pPainter->setPen(Qt::black);
        m_pPainter->drawText(QRectF(dIndent, m_dY, m_dWidth - dIndent, dHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    m_dY += dHeight;
}

void PatientReportPageWriter::Paragraph(const QString &strText, const QFont &font, double dIndentMm)
{
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const QRectF area(Mm(dIndentMm), 0, m_dWidth - Mm(dIndentMm), 1e6);
    const QRectF bounds = QFontMetricsF(font, m_pPrinter).boundingRect(area, flags, strText);
    const double dHeight = std::max(bounds.height(), RowHeight(font));
    EnsureSpace(dHeight);
    if (m_pPainter) {
        m_pPainter->setFont(font);
        m_pPainter->setPen(Qt::black);
        m_pPainter->drawText(QRectF(area.left(), m_dY, area.width(), dHeight), flags, strText);
    }
    m_dY += dHeight;
}

// A narrow table runs in several columns side by side, each headed by the
// header row, before it goes on to the next page.
void PatientReportPageWriter::Table(const QList<Column> &columns, const QStringList &header,
                                    const QList<QStringList> &rows)
{
    double dTableWidth = 0;
    for (const Column &column : columns)
        dTableWidth += Mm(column.dWidthMm);
    const double dGap = Mm(6);
    const int iBlocks = std::max(1, int((m_dWidth + dGap) / (dTableWidth + dGap)));
    // A header row is never left alone at the foot of a page.
    EnsureSpace(2 * m_dTableRow);
    double dBlockTop = m_dY;
    double dLowest = m_dY;
    int iBlock = 0;
    TableRow(columns, header, m_tableHeaderFont, kHeaderShade, m_dTableRow);
    for (int i = 0; i < rows.size(); ++i) {
        if (m_dY + m_dTableRow > m_dBottom) {
            dLowest = std::max(dLowest, m_dY);
            if (++iBlock < iBlocks) {
                m_dX += dTableWidth + dGap;
            } else {
                iBlock = 0;
                m_dX = 0;
                NewPage();
                dBlockTop = dLowest = m_dY;
            }
            m_dY = dBlockTop;
            TableRow(columns, header, m_tableHeaderFont, kHeaderShade, m_dTableRow);
        }
        TableRow(columns, rows.at(i), m_tableFont, i % 2 == 1 ? kRowShade : QColor(), m_dTableRow);
    }
    m_dX = 0;
    m_dY = std::max(dLowest, m_dY);
}

void PatientReportPageWriter::Row(const QList<Column> &columns, const QStringList &cells,
                                  const QFont &font)
{
    const double dHeight = RowHeight(font);
    EnsureSpace(dHeight);
    TableRow(columns, cells, font, QColor(), dHeight);
}

void PatientReportPageWriter::TableRow(const QList<Column> &columns, const QStringList &cells,
                                       const QFont &font, const QColor &shade, double dHeight)
{
    if (m_pPainter) {
        double dWidth = 0;
        for (const Column &column : columns)
            dWidth += Mm(column.dWidthMm);
        if (shade.isValid())
            m_pPainter->fillRect(QRectF(m_dX, m_dY, dWidth, dHeight), shade);
        m_pPainter->setFont(font);
        m_pPainter->setPen(Qt::black);
        double dX = m_dX;
        const double dPad = Mm(CellPaddingMm);
        for (int i = 0; i < columns.size() && i < cells.size(); ++i) {
            const double dCell = Mm(columns.at(i).dWidthMm);
            m_pPainter->drawText(QRectF(dX + dPad, m_dY, dCell - 2 * dPad, dHeight),
                                 int(columns.at(i).alignment | Qt::AlignVCenter), cells.at(i));
            dX += dCell;
        }
    }
    m_dY += dHeight;
}

// reportshot <folder>: writes report-demo.pdf for a demo-like patient (200
// records every 30 minutes, his first day as the Trend page shows it) and
// report-page1.png, its first page at 60 dpi through poppler's pdftoppm.

#include "PatientReport.h"
#include "ReportPatient.h"

#include <QApplication>
#include <QDir>
#include <QPrinter>
#include <QProcess>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    TrendGrapView trend;
    trend.resize(1100, 820);
    trend.show();
    DeliverReportPatient(trend, 200, 1800);

    const PatientReportContent content(*PatientData::GetInstance(), trend.StartTime(),
                                       trend.EndTime());
    PatientReport report(content, trend.NIBPPlot(), trend.SPO2Plot(), trend.TEMPPlot());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath(QStringLiteral("report-demo.pdf")));
    printer.setPageSize(QPageSize(QPageSize::A4));
    PatientReport::PreparePrinter(&printer);
    const int iPages = report.Print(&printer);
    std::printf("wrote %s (%d pages)\n", qPrintable(printer.outputFileName()), iPages);

    const int iResult = QProcess::execute(QStringLiteral("pdftoppm"),
                                          {"-png", "-r", "60", "-f", "1", "-l", "1", "-singlefile",
                                           printer.outputFileName(),
                                           folder.filePath(QStringLiteral("report-page1"))});
    return iPages > 0 && iResult == 0 ? 0 : 1;
}

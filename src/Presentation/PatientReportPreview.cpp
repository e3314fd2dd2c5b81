#include "PatientReportPreview.h"

#include "PatientData.h"
#include "PatientReport.h"

#include <QCoreApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>

void PatientReportPreview::Open(QWidget *parent, const QDateTime &from, const QDateTime &to,
                                QCustomPlot *nibp, QCustomPlot *spo2, QCustomPlot *temp)
{
    // The content is read once: a change of the model while the preview is
    // open does not alter the report being looked at.
    const PatientReportContent content(*PatientData::GetInstance(), from, to);
    const PatientReport report(content, nibp, spo2, temp);
    QPrinter printer(QPrinter::HighResolution);
    PatientReport::PreparePrinter(&printer);
    printer.setDocName(QCoreApplication::translate("PatientReport", "Patient report %1")
                           .arg(content.PatientName()));
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PatientReportPreview"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                     [&report](QPrinter *pPrinter) { report.Print(pPrinter); });
    dialog.exec();
}

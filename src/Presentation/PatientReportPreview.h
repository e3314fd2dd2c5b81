#pragma once

#include <QDateTime>

class QCustomPlot;
class QWidget;

// The print preview of the current patient's report, from which the user
// prints on any printer of the system or saves a PDF file.
class PatientReportPreview
{
public:
    // Reports the current patient of PatientData for the period from..to
    // (invalid: the whole record set) with the Trend page's plots, which show
    // that period. Modal; returns when the preview is closed.
    static void Open(QWidget *parent, const QDateTime &from, const QDateTime &to, QCustomPlot *nibp,
                     QCustomPlot *spo2, QCustomPlot *temp);
};

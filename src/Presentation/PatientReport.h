#pragma once

#include "PatientReportContent.h"

#include <QDateTime>

class PatientReportPageWriter;
class QCPPainter;
class QCustomPlot;
class QPrinter;

// The printed patient report: a header with the program's name, the print
// time and the patient's details; per kind of record the figures of the
// period; the three trend graphs as on the Trend page, drawn as vectors; and
// the period's records as tables with the Table page's headers. Lays itself
// out on whatever paper the printer has (A4, Letter, ...).
class PatientReport
{
public:
    // The plots are drawn as they stand; a null plot is left out.
    PatientReport(const PatientReportContent &content, QCustomPlot *pNIBPPlot,
                  QCustomPlot *pSPO2Plot, QCustomPlot *pTEMPPlot);

    // The time printed in the header (now, unless set).
    void SetPrintTime(const QDateTime &time) { m_printTime = time; }

    // Prints onto the printer, a PDF file or the preview; returns the number
    // of pages, 0 when the printer could not be opened.
    int Print(QPrinter *pPrinter) const;

    // Margins for a fresh printer; the user may change them in the preview.
    static void PreparePrinter(QPrinter *pPrinter);

private:
    int Layout(QPrinter *pPrinter, QCPPainter *pPainter, int iPageCount) const;
    void WriteHeader(PatientReportPageWriter &writer) const;
    void WriteDetails(PatientReportPageWriter &writer) const;
    void WriteSummary(PatientReportPageWriter &writer) const;
    void WriteGraphs(PatientReportPageWriter &writer) const;
    void WriteTables(PatientReportPageWriter &writer) const;

    const PatientReportContent &m_content;
    QCustomPlot *m_plots[3];
    QDateTime m_printTime;
};

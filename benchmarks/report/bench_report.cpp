// The patient report for 10,000 records of each kind (goal: ready in under
// 3 s): read from the model, laid out and written as a PDF file, and the same
// into the print preview, which records every page before showing the first.
// Runs on the offscreen platform.

#include "PatientReport.h"
#include "ReportPatient.h"

#include <QApplication>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_ReportPdf(benchmark::State &state)
{
    TrendGrapView trend;
    DeliverReportPatient(trend, int(state.range(0)), 300);
    QTemporaryDir dir;
    int iPages = 0;
    for (auto _ : state) {
        const PatientReportContent content(*PatientData::GetInstance(), QDateTime(), QDateTime());
        const PatientReport report(content, trend.NIBPPlot(), trend.SPO2Plot(), trend.TEMPPlot());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("report.pdf")));
        printer.setPageSize(QPageSize(QPageSize::A4));
        PatientReport::PreparePrinter(&printer);
        iPages = report.Print(&printer);
    }
    state.counters["pages"] = iPages;
}

void BM_ReportPreview(benchmark::State &state)
{
    TrendGrapView trend;
    DeliverReportPatient(trend, int(state.range(0)), 300);
    for (auto _ : state) {
        const PatientReportContent content(*PatientData::GetInstance(), QDateTime(), QDateTime());
        const PatientReport report(content, trend.NIBPPlot(), trend.SPO2Plot(), trend.TEMPPlot());
        QPrinter printer(QPrinter::HighResolution);
        PatientReport::PreparePrinter(&printer);
        QPrintPreviewWidget preview(&printer);
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested,
                         [&report](QPrinter *pPrinter) { report.Print(pPrinter); });
        preview.updatePreview();
        state.counters["pages"] = preview.pageCount();
    }
}

} // namespace

BENCHMARK(BM_ReportPdf)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportPreview)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

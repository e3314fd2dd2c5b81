// Refill of the three trend tables and one page change of the trend graphs
// for a patient with 1,000, 10,000 and 100,000 records of each kind, one
// record every 5 minutes. Runs on the offscreen platform with the views shown.

#include "PatientData.h"
#include "TrendGrapView.h"
#include "TrendPatient.h"
#include "TrendTableView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTableWidget>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kStepSeconds = 300;

void DeliverPatient(int iRecords)
{
    RegularPatient(QDateTime(QDate(2025, 1, 6), QTime(9, 13, 0)), iRecords, kStepSeconds).Deliver();
}

void BM_TableRefill(benchmark::State &state)
{
    TrendTableView view;
    view.resize(1000, 800);
    view.show();
    DeliverPatient(int(state.range(0)));
    for (auto _ : state) {
        view.OnPatientNIBPDataChanged();
        view.OnPatientSPO2DataChanged();
        view.OnPatientTEMPDataChanged();
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = double(view.NIBPTable()->model()->rowCount());
}

// The literal way of filling a table: one insertRow per record.
void BM_TableRefillRowByRow(benchmark::State &state)
{
    QTableWidget table(0, 5);
    table.resize(700, 250);
    table.show();
    DeliverPatient(int(state.range(0)));
    for (auto _ : state) {
        table.clearContents();
        for (int i = table.rowCount() - 1; i >= 0; --i) {
            table.removeRow(i);
        }
        table.clear();
        table.setHorizontalHeaderLabels({"Time", "Sys", "Dia", "Mean", "Pr"});
        int iRow = 0;
        for (const auto *p = PatientData::GetInstance()->GetNIBPDataList(); p; p = p->pNext) {
            table.insertRow(iRow);
            table.setItem(iRow, 0,
                          new QTableWidgetItem(p->MeasureTime.toString("yyyy-MM-dd hh:mm:ss")));
            table.setItem(iRow, 1, new QTableWidgetItem(QString::number(p->SysValue)));
            table.setItem(iRow, 2, new QTableWidgetItem(QString::number(p->DiaValue)));
            table.setItem(iRow, 3, new QTableWidgetItem(QString::number(p->MeanValue)));
            table.setItem(iRow, 4, new QTableWidgetItem(QString::number(p->PrValue)));
            ++iRow;
        }
        QCoreApplication::processEvents();
    }
    state.SetLabel("NIBP table only");
}

// Alternates Next and Previous in the middle of the records, so that every
// page shown is full; each iteration is one page change with its replots.
void PageChange(benchmark::State &state, const char *pSpan)
{
    TrendGrapView view;
    view.resize(1000, 800);
    view.show();
    view.findChild<QAbstractButton *>(QLatin1String(pSpan))->click();
    DeliverPatient(int(state.range(0)));
    const int iMiddle = view.GetMaxPageIndex() / 2;
    for (int i = 0; i < iMiddle; ++i) {
        view.OnNextButtonClicked();
    }
    bool bForward = true;
    for (auto _ : state) {
        if (bForward) {
            view.OnNextButtonClicked();
        } else {
            view.OnPrevButtonClicked();
        }
        bForward = !bForward;
    }
    state.counters["pages"] = double(view.GetMaxPageIndex() + 1);
}

void BM_PageChangeHour(benchmark::State &state)
{
    PageChange(state, "radioButton_Hour");
}

void BM_PageChangeDay(benchmark::State &state)
{
    PageChange(state, "radioButton_Day");
}

void BM_PageChangeWeek(benchmark::State &state)
{
    PageChange(state, "radioButton_Week");
}

void BM_PageChangeMonth(benchmark::State &state)
{
    PageChange(state, "radioButton_Month");
}

void Sizes(benchmark::internal::Benchmark *pBench)
{
    pBench->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_TableRefill)->Apply(Sizes)->Iterations(3);
BENCHMARK(BM_TableRefillRowByRow)->Apply(Sizes)->Iterations(2);
BENCHMARK(BM_PageChangeHour)->Apply(Sizes);
BENCHMARK(BM_PageChangeDay)->Apply(Sizes);
BENCHMARK(BM_PageChangeWeek)->Apply(Sizes);
BENCHMARK(BM_PageChangeMonth)->Apply(Sizes);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// bench_openpatient [records per kind]: a click on a patient with that many
// NIBP, SpO2 and temperature records (default 100,000, one every 5 minutes),
// from the moment his three record chains reach PatientData until the Table
// page holds every row and the Trend page's first day is drawn and painted.
// Prints the time and the program's peak memory (whole process).

#include "PatientData.h"
#include "TestRecords.h"
#include "TrendGrapView.h"
#include "TrendTableView.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <qcustomplot.h>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kStepSeconds = 300;

double PeakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The chains as the database service hands them over, oldest first.
template <typename Record, typename Fill> Record *Chain(int iRecords, Fill fill)
{
    const QDateTime first(QDate(2025, 1, 6), QTime(9, 13, 0));
    Record *pHead = nullptr;
    for (int i = iRecords - 1; i >= 0; --i) {
        auto *pNode = new Record;
        pNode->MeasureTime = first.addSecs(qint64(i) * kStepSeconds);
        fill(*pNode, i);
        pNode->pNext = pHead;
        pHead = pNode;
    }
    return pHead;
}

template <typename View> void Connect(PatientData *p, View *v)
{
    QObject::connect(p, &PatientData::OnPatientNIBPDataChanged, v, &View::OnPatientNIBPDataChanged);
    QObject::connect(p, &PatientData::OnPatientSPO2DataChanged, v, &View::OnPatientSPO2DataChanged);
    QObject::connect(p, &PatientData::OnPatientTEMPDataChanged, v, &View::OnPatientTEMPDataChanged);
    QObject::connect(p, &PatientData::OnClearPatientData, v, &View::OnClearPatientData);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int iRecords = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    PatientData *pData = PatientData::GetInstance();
    TrendTableView table;
    TrendGrapView trend;
    Connect(pData, &table);
    Connect(pData, &trend);
    for (QWidget *pPage : {static_cast<QWidget *>(&table), static_cast<QWidget *>(&trend)}) {
        pPage->resize(1000, 800);
        pPage->show();
    }
    QCoreApplication::processEvents();
    const double before = PeakMiB();

    const QUuid uuid = QUuid::createUuid();
    auto *pNIBP = Chain<STU_DB_NIBP_DATA_LIST>(iRecords, [](auto &r, int i) {
        r.SysValue = quint16(120 + i % 20);
        r.DiaValue = quint16(80 + i % 40);
        r.MeanValue = quint16(93 + i % 30);
        r.PrValue = quint16(75 + i % 10);
    });
    auto *pSPO2 = Chain<STU_DB_SPO2_DATA_LIST>(iRecords, [](auto &r, int i) {
        r.SPO2Value = quint16(95 + i % 5);
        r.PrValue = quint16(100 - i % 40);
    });
    auto *pTEMP = Chain<STU_DB_TEMP_DATA_LIST>(
        iRecords, [](auto &r, int i) { r.TempValue = float(37.0 + 0.1 * (i % 40)); });
    const double chains = PeakMiB();

    QElapsedTimer timer;
    timer.start();
    pData->SetCurrentPatientAndNotify(NewPatient(QString(), uuid));
    AnswerLists(*pData, uuid, pNIBP, pSPO2, pTEMP);
    QCoreApplication::processEvents();
    const qint64 iMs = timer.elapsed();

    const int iRows = table.NIBPTable()->model()->rowCount() +
                      table.SPO2Table()->model()->rowCount() +
                      table.TEMPTable()->model()->rowCount();
    std::printf("records of each kind %d: rows %d, day page points %d\n", iRecords, iRows,
                int(trend.NIBPPlot()->graph(0)->dataCount()));
    std::printf("click to tables full and day page drawn: %lld ms\n", static_cast<long long>(iMs));
    std::printf("peak memory: %.0f MiB (views shown %.0f MiB, with the chains %.0f MiB)\n",
                PeakMiB(), before, chains);
    return iRows == 3 * iRecords ? 0 : 1;
}

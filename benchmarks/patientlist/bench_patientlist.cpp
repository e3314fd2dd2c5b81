#include "DatabaseRecords.h"
#include "MLog.h"
#include "MSettings.h"
#include "quarvelpcsoftware.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

// The patient list's fill from the answer to DB_WORK_GET_ALL_PATIENT_BRIEF
// (the service's chain, oldest first) until the table has been painted, for a
// clinic's growing database. The comparison case inserts each row at the top
// of a bare table one by one with the same cell contents, the way the rows
// are added one at a time after start-up.

namespace {

QuarvelPCSoftware *g_window = nullptr;

STU_DB_PATIENT_LIST *MakeChain(int count)
{
    const QDateTime start = QDateTime::currentDateTime().addDays(-365);
    STU_DB_PATIENT_LIST *head = nullptr;
    // Built back to front so that the head is the oldest, as the store answers.
    for (int i = count - 1; i >= 0; --i) {
        auto *patient = new STU_DB_PATIENT_LIST;
        patient->PatientID = QUuid::createUuid();
        SetRecordText(patient->DeviceSN, QStringLiteral("SN%1").arg(i % 7));
        patient->IdInDevice = i == 0 ? MONITOR_PSEUDO_PATIENT_ID : quint32(i);
        SetRecordText(patient->Name, QStringLiteral("Patient %1").arg(i));
        patient->ReadFlag = (i % 3) != 0;
        patient->LastUpdateTime = start.addSecs(i * 60);
        patient->pNext = head;
        head = patient;
    }
    return head;
}

void BM_FillPatientList(benchmark::State &state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        // Start-up: the list is empty when the answer arrives.
        g_window->OnDatabaseGetAllPatientBriefSucc(nullptr);
        QApplication::processEvents();
        STU_DB_PATIENT_LIST *chain = MakeChain(count);
        const auto begin = std::chrono::steady_clock::now();
        g_window->OnDatabaseGetAllPatientBriefSucc(chain); // takes the chain, repaints
        QApplication::processEvents();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        if (g_window->Form().PatientListTable->model()->rowCount() != count)
            state.SkipWithError("wrong row count");
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_FillPatientList)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

// One key typed into the search field of a list of 100,000 patients, until
// the list is painted: the keys of "Patient 4" in turn, then the field cleared.
void BM_SearchKey(benchmark::State &state)
{
    g_window->OnDatabaseGetAllPatientBriefSucc(MakeChain(int(state.range(0))));
    QApplication::processEvents();
    QLineEdit *search = g_window->Form().PatientSearchEdit;
    const QString typed = QStringLiteral("Patient 4");
    int length = 0;
    for (auto _ : state) {
        length = (length + 1) % (typed.size() + 1);
        const auto begin = std::chrono::steady_clock::now();
        search->setText(typed.left(length));
        g_window->Form().PatientListTable->repaint();
        QApplication::processEvents();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
    search->clear();
}
BENCHMARK(BM_SearchKey)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_NaiveTopInsert(benchmark::State &state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        QTableWidget table(0, 3);
        table.show();
        STU_DB_PATIENT_LIST *chain = MakeChain(count);
        const auto begin = std::chrono::steady_clock::now();
        for (STU_DB_PATIENT_LIST *p = chain; p; p = p->pNext) {
            QFont font;
            font.setWeight(p->ReadFlag ? QFont::Normal : QFont::Bold);
            table.insertRow(0);
            auto *sn = new QTableWidgetItem(GetRecordText(p->DeviceSN));
            sn->setData(Qt::UserRole, p->PatientID.toByteArray());
            sn->setFont(font);
            table.setItem(0, 0, sn);
            auto *id = new QTableWidgetItem(QString::number(p->IdInDevice));
            id->setData(Qt::UserRole, uint(p->LastUpdateTime.toSecsSinceEpoch()));
            id->setFont(font);
            table.setItem(0, 1, id);
            auto *name = new QTableWidgetItem(GetRecordText(p->Name));
            name->setFont(font);
            table.setItem(0, 2, name);
            table.showRow(0);
        }
        table.repaint();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        FreeRecordChain(chain);
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_NaiveTopInsert)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void WriteSettings(const QTemporaryDir &dir)
{
    MSettings::SetConfigDirectory(dir.path());
    QFile file(MSettings::GetFilePath());
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("DATABASE_FILE_PATH = %1/db\nOUTLOG = 0\nEXPORT_FILE_PATH = "
                                  "%1/export\n")
                       .arg(dir.path())
                       .toUtf8());
    }
    MSettings::GetInstance()->LoadSettings();
    MLog::SetOutLog(false);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    WriteSettings(dir);
    QuarvelPCSoftware window;
    window.show();
    QApplication::processEvents();
    g_window = &window;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

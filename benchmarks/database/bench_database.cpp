// Stores NIBP, SpO2 and temperature records through DatabaseAccessSQLite and,
// beside each case, does the same inserts with the same duplicate check
// through the sqlite3 C API (one transaction, prepared statements) as the
// baseline. The "Server" cases do the store's work on a throw-away local
// PostgreSQL server instead. Items per second are records stored or checked.

#include "DatabaseAccessPostgreSQL.h"
#include "DatabaseAccessSQLite.h"
#include "DatabaseStatements.h"
#include "IVirtualDataAccessInterface.h"
#include "LocalTimeZone.h"
#include "RecordChainPtr.h"
#include "SqliteLibrary.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kPatients = 100;
constexpr int kRecordsPerKind = 1000;

const QDateTime kStart(QDate(2026, 1, 1), QTime(0, 0));

template <typename Record> Record *MakeChain(int count)
{
    RecordChainBuilder<Record> chain;
    for (int i = 0; i < count; ++i) {
        auto *record = new Record();
        record->MeasureTime = kStart.addSecs(60LL * i);
        chain.Append(record);
    }
    return chain.Release();
}

// A fresh store in a temporary folder or on a fresh server database (its
// demo data included), untimed.
struct StoreFixture
{
    explicit StoreFixture(TestDatabase::Kind kind = TestDatabase::SQLite) : db(kind, false)
    {
        if (kind == TestDatabase::PostgreSQL)
            store = std::make_unique<DatabaseAccessPostgreSQL>();
        else
            store = std::make_unique<DatabaseAccessSQLite>();
    }
    TestDatabase db;
    std::unique_ptr<IVirtualDataAccessInterface> store;

    QUuid AddPatient()
    {
        STU_DB_PATIENT_LIST patient;
        patient.PatientID = QUuid::createUuid();
        store->InsertNewPatient(&patient);
        return patient.PatientID;
    }
};

// The baseline: a file with the same schema, reached through sqlite3 alone.
class Baseline
{
public:
    explicit Baseline(const QString &path)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        for (const char *sql : {kSqlCreatePatientTable, kSqlCreatePatientIndex, kSqlCreateNibpTable,
                                kSqlCreateNibpIndex, kSqlCreateSpo2Table, kSqlCreateSpo2Index,
                                kSqlCreateTempTable, kSqlCreateTempIndex, kSqlCreateNibpTimeIndex,
                                kSqlCreateSpo2TimeIndex, kSqlCreateTempTimeIndex})
            sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    }
    ~Baseline() { sqlite3_close(m_db); }
    Baseline(const Baseline &) = delete;
    Baseline &operator=(const Baseline &) = delete;

    void Exec(const char *sql) { sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

    void InsertPatient(const QByteArray &key)
    {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(m_db, "INSERT INTO Patient (PatientID) VALUES(?1)", -1, &stmt, nullptr);
        sqlite3_bind_blob(stmt, 1, key.constData(), int(key.size()), SQLITE_STATIC);
        sqlite3_step(stmt);
        sqlite3_finalize(stmt);
    }

    // The duplicate check and insert of one chain's times; returns records stored.
    int Store(const char *table, const QByteArray &key, const std::vector<std::string> &times)
    {
        char checkSql[128];
        char insertSql[128];
        std::snprintf(checkSql, sizeof checkSql,
                      "SELECT * FROM %s WHERE PatientID = ?1 AND MeasureTime = ?2", table);
        std::snprintf(insertSql, sizeof insertSql,
                      "INSERT INTO %s (PatientID, MeasureTime) VALUES(?1, ?2)", table);
        sqlite3_stmt *check = nullptr;
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(m_db, checkSql, -1, &check, nullptr);
        sqlite3_prepare_v2(m_db, insertSql, -1, &insert, nullptr);
        int stored = 0;
        for (const std::string &time : times) {
            sqlite3_bind_blob(check, 1, key.constData(), int(key.size()), SQLITE_STATIC);
            sqlite3_bind_text(check, 2, time.c_str(), int(time.size()), SQLITE_STATIC);
            const bool duplicate = sqlite3_step(check) == SQLITE_ROW;
            sqlite3_reset(check);
            if (duplicate)
                continue;
            sqlite3_bind_blob(insert, 1, key.constData(), int(key.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert, 2, time.c_str(), int(time.size()), SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
            ++stored;
        }
        sqlite3_finalize(check);
        sqlite3_finalize(insert);
        return stored;
    }

private:
    sqlite3 *m_db = nullptr;
};

// The stored text of each record's time, made before the clock runs so that
// the baseline measures SQLite alone.
std::vector<std::string> TimeTexts(int count)
{
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i)
        texts.push_back(kStart.addSecs(60LL * i).toString("yyyy-MM-dd'T'HH:mm:ss").toStdString());
    return texts;
}

QByteArray NewKey()
{
    return QUuid::createUuid().toByteArray();
}

template <TestDatabase::Kind kKind> void StoreNibpNew(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        StoreFixture fixture(kKind);
        QUuid id = fixture.AddPatient();
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> chain(MakeChain<STU_DB_NIBP_DATA_LIST>(n));
        state.ResumeTiming();
        fixture.store->InsertNibpData(&id, chain.get());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BaselineNibpNew(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        TestEnvironment env(false);
        Baseline db(QDir(env.Root()).filePath("baseline.db"));
        const QByteArray key = NewKey();
        db.InsertPatient(key);
        const std::vector<std::string> times = TimeTexts(n);
        state.ResumeTiming();
        db.Exec("BEGIN");
        db.Store("NIBPData", key, times);
        db.Exec("COMMIT");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The patient already holds the same n records: every record is a duplicate.
template <TestDatabase::Kind kKind> void StoreNibpDuplicates(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        StoreFixture fixture(kKind);
        QUuid id = fixture.AddPatient();
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> chain(MakeChain<STU_DB_NIBP_DATA_LIST>(n));
        fixture.store->InsertNibpData(&id, chain.get());
        state.ResumeTiming();
        fixture.store->InsertNibpData(&id, chain.get());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BaselineNibpDuplicates(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        TestEnvironment env(false);
        Baseline db(QDir(env.Root()).filePath("baseline.db"));
        const QByteArray key = NewKey();
        db.InsertPatient(key);
        const std::vector<std::string> times = TimeTexts(n);
        db.Exec("BEGIN");
        db.Store("NIBPData", key, times);
        db.Exec("COMMIT");
        state.ResumeTiming();
        db.Exec("BEGIN");
        db.Store("NIBPData", key, times);
        db.Exec("COMMIT");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

template <TestDatabase::Kind kKind> void StoreManyPatients(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        StoreFixture fixture(kKind);
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibp(
            MakeChain<STU_DB_NIBP_DATA_LIST>(kRecordsPerKind));
        RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2(
            MakeChain<STU_DB_SPO2_DATA_LIST>(kRecordsPerKind));
        RecordChainPtr<STU_DB_TEMP_DATA_LIST> temp(
            MakeChain<STU_DB_TEMP_DATA_LIST>(kRecordsPerKind));
        state.ResumeTiming();
        for (int p = 0; p < kPatients; ++p) {
            QUuid id = fixture.AddPatient();
            fixture.store->InsertNibpData(&id, nibp.get());
            fixture.store->InsertSPO2Data(&id, spo2.get());
            fixture.store->InsertTempData(&id, temp.get());
        }
    }
    state.SetItemsProcessed(state.iterations() * kPatients * 3 * kRecordsPerKind);
}

void BaselineManyPatients(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        TestEnvironment env(false);
        Baseline db(QDir(env.Root()).filePath("baseline.db"));
        const std::vector<std::string> times = TimeTexts(kRecordsPerKind);
        state.ResumeTiming();
        db.Exec("BEGIN");
        for (int p = 0; p < kPatients; ++p) {
            const QByteArray key = NewKey();
            db.InsertPatient(key);
            db.Store("NIBPData", key, times);
            db.Store("SPO2Data", key, times);
            db.Store("TEMPData", key, times);
        }
        db.Exec("COMMIT");
    }
    state.SetItemsProcessed(state.iterations() * kPatients * 3 * kRecordsPerKind);
}

// The same work with one transaction per store operation (the patient insert
// and each chain), as the store commits: shows what the commits cost alone.
void BaselineManyPatientsPerOperation(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        TestEnvironment env(false);
        Baseline db(QDir(env.Root()).filePath("baseline.db"));
        const std::vector<std::string> times = TimeTexts(kRecordsPerKind);
        state.ResumeTiming();
        for (int p = 0; p < kPatients; ++p) {
            const QByteArray key = NewKey();
            db.Exec("BEGIN");
            db.InsertPatient(key);
            db.Exec("COMMIT");
            for (const char *table : {"NIBPData", "SPO2Data", "TEMPData"}) {
                db.Exec("BEGIN");
                db.Store(table, key, times);
                db.Exec("COMMIT");
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kPatients * 3 * kRecordsPerKind);
}

} // namespace

// The store's answer to a click on a patient holding n records of each kind:
// his three record lists.
void StorePatientRecords(benchmark::State &state)
{
    const int n = int(state.range(0));
    StoreFixture fixture;
    QUuid id = fixture.AddPatient();
    {
        Baseline db(fixture.db.File());
        db.Exec("BEGIN");
        const QByteArray key = id.toByteArray();
        const std::vector<std::string> times = TimeTexts(n);
        for (const char *table : {"NIBPData", "SPO2Data", "TEMPData"})
            db.Store(table, key, times);
        db.Exec("COMMIT");
    }
    for (auto _ : state) {
        STU_DB_NIBP_DATA_LIST *nibp = nullptr;
        STU_DB_SPO2_DATA_LIST *spo2 = nullptr;
        STU_DB_TEMP_DATA_LIST *temp = nullptr;
        fixture.store->GetNibpDataList(&id, &nibp);
        fixture.store->GetSPO2DataList(&id, &spo2);
        fixture.store->GetTempDataList(&id, &temp);
        state.PauseTiming();
        if (RecordChainLength(nibp) + RecordChainLength(spo2) + RecordChainLength(temp) != 3 * n)
            state.SkipWithError("wrong record count");
        FreeRecordChain(nibp);
        FreeRecordChain(spo2);
        FreeRecordChain(temp);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 3 * n);
}

// The store's answer to the patient list request for a clinic's database of
// n patients holding three records of each kind apiece (filled through
// sqlite3 beforehand, untimed).
void StorePatientList(benchmark::State &state)
{
    const int n = int(state.range(0));
    StoreFixture fixture;
    {
        Baseline db(fixture.db.File());
        db.Exec("BEGIN");
        for (int i = 0; i < n; ++i) {
            const QByteArray key = NewKey();
            db.InsertPatient(key);
            const std::vector<std::string> times = TimeTexts(3);
            for (const char *table : {"NIBPData", "SPO2Data", "TEMPData"})
                db.Store(table, key, times);
        }
        db.Exec("COMMIT");
    }
    for (auto _ : state) {
        STU_DB_PATIENT_LIST *chain = nullptr;
        fixture.store->GetAllPatientBrief(&chain);
        state.PauseTiming();
        if (RecordChainLength(chain) != n + 2)
            state.SkipWithError("wrong patient count");
        FreeRecordChain(chain);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(StorePatientList)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(StorePatientRecords)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreNibpNew<TestDatabase::SQLite>)
    ->Name("StoreNibpNew")
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineNibpNew)->Arg(10000)->Iterations(2)->Unit(benchmark::kMillisecond);
// Growth of the duplicate import with n (the patient holding n as well).
BENCHMARK(StoreNibpDuplicates<TestDatabase::SQLite>)
    ->Name("StoreNibpDuplicates")
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineNibpDuplicates)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StoreManyPatients<TestDatabase::SQLite>)
    ->Name("StoreManyPatients")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineManyPatients)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreNibpNew<TestDatabase::PostgreSQL>)
    ->Name("ServerNibpNew")
    ->UseRealTime() // the server works in a process of its own
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StoreNibpDuplicates<TestDatabase::PostgreSQL>)
    ->Name("ServerNibpDuplicates")
    ->UseRealTime() // the server works in a process of its own
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StoreManyPatients<TestDatabase::PostgreSQL>)
    ->Name("ServerManyPatients")
    ->UseRealTime() // the server works in a process of its own
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    LocalTimeZone::Pin(); // as the program does
    SqliteLibrary::Configure();
    QCoreApplication app(argc, argv);
    // The commit-for-commit baseline doubles the run; it is asked for by name.
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--with_commit_baseline") == 0) {
            benchmark::RegisterBenchmark("BaselineManyPatientsPerOperation",
                                         BaselineManyPatientsPerOperation)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
            std::swap(argv[i], argv[argc - 1]);
            --argc;
            break;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

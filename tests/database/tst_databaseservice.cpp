#include "DatabaseAccessPostgreSQL.h"
#include "DatabaseAccessSQLite.h"
#include "MDatabaseService.h"
#include "OtherProgramLock.h"
#include "RecordChainPtr.h"
#include "TestDatabase.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <memory>
#include <type_traits>

namespace {

// Work item parameters, made as the GUI side makes them.
quintptr NewPatient(const QUuid &id, const QString &name = QString())
{
    auto *patient = new STU_DB_PATIENT_LIST();
    patient->PatientID = id;
    SetRecordText(patient->Name, name);
    SetRecordText(patient->DeviceSN, QStringLiteral("SN"));
    return reinterpret_cast<quintptr>(patient);
}

quintptr NewId(const QUuid &id = QUuid())
{
    return reinterpret_cast<quintptr>(new QUuid(id));
}

template <typename Record> quintptr NewChain(int count)
{
    Record *head = nullptr;
    for (int i = 0; i < count; ++i) {
        auto *record = new Record();
        record->MeasureTime = QDateTime(QDate(2026, 5, 1), QTime(10, i));
        record->pNext = head;
        head = record;
    }
    return reinterpret_cast<quintptr>(head);
}

} // namespace

// Stands in for the GUI side: posts work items through a queued signal and
// writes down every answer, owning (and freeing) what it is handed.
class ServiceClient : public QObject
{
    Q_OBJECT

public:
    explicit ServiceClient(MDatabaseService *s)
    {
        connect(this, &ServiceClient::Request, s, &MDatabaseService::ProcessDatabaseTaskProc,
                Qt::QueuedConnection);
        connect(this, &ServiceClient::RunBegun, s, &MDatabaseService::BeginImportRun,
                Qt::QueuedConnection);
        connect(this, &ServiceClient::RunEnded, s, &MDatabaseService::EndImportRun,
                Qt::QueuedConnection);
        On(s, &MDatabaseService::OnImportRunStored, "run");
        On(s, &MDatabaseService::OnDatabaseProcessResult, "result");
        On(s, &MDatabaseService::OnDatabaseGetAllPatientBriefSucc, "all");
        On(s, &MDatabaseService::OnDatabaseGetOnePatientDetailSucc, "detail");
        On(s, &MDatabaseService::OnDatabaseUpdateOnePatientDetailInfoSucc, "updated");
        On(s, &MDatabaseService::OnDatabaseGetNIBPDataListSucc, "nibp");
        On(s, &MDatabaseService::OnDatabaseGetSPO2DataListSucc, "spo2");
        On(s, &MDatabaseService::OnDatabaseGetTEMPDataListSucc, "temp");
        On(s, &MDatabaseService::OnDatabaseDeletePatientSucc, "deleted");
        On(s, &MDatabaseService::OnDatabaseInsertNewPatientSucc, "inserted");
        On(s, &MDatabaseService::OnSearchPatientToMergeSucc, "candidates");
        On(s, &MDatabaseService::OnMergePatientDataSucc, "merged");
        On(s, &MDatabaseService::OnDatabaseUpdateBrowserFlagSucc, "flag");
        On(s, &MDatabaseService::OnDatabaseGetOnePatientBriefSucc, "brief");
        On(s, &MDatabaseService::OnImportPatientDataFinished, "finished");
        On(s, &MDatabaseService::OnDatabaseOpenResult, "opened");
        On(s, &MDatabaseService::OnDatabaseChangedElsewhere, "changed elsewhere");
    }

    // Posts a work item and notes the answers it is to bring, '|' between them.
    void Post(uint type, quintptr wParam, quintptr lParam, const QString &answers = QString())
    {
        emit Request(type, wParam, lParam);
        Expect(answers);
    }
    void Expect(const QString &answers)
    {
        if (!answers.isEmpty())
            m_expected << answers.split(QLatin1Char('|'));
    }

    // Waits for the answers expected so far; empty where they came as
    // expected, and nothing else followed, or else what came and what was expected.
    QString Missed()
    {
        if (QTest::qWaitFor([&] { return m_events.size() >= m_expected.size(); }, 10000))
            QTest::qWait(20); // nothing beyond what was expected may follow
        const QString got = std::exchange(m_events, {}).join('\n');
        const QString want = std::exchange(m_expected, {}).join('\n');
        return got == want ? QString() : got + QStringLiteral("\n-- expected:\n") + want;
    }

    QMap<QUuid, QString> names; // short names for the patients' UUIDs

signals:
    void Request(uint iWorkType, quintptr wParam, quintptr lParam);
    void RunBegun(uint iRun);
    void RunEnded(uint iRun);

private:
    template <typename... Args>
    void On(MDatabaseService *s, void (MDatabaseService::*signal)(Args...), const char *what)
    {
        const auto note = [this, what](Args... args) {
            m_events.append(QStringList({what, Describe(args)...}).join(QLatin1Char(' ')));
        };
        connect(s, signal, this, note, Qt::QueuedConnection);
    }
    static QString Describe(uint number) { return QString::number(number); }
    static QString Describe(const QString &text) { return '"' + text + '"'; }
    QString Describe(QUuid *id) const
    {
        const std::unique_ptr<QUuid> owned(id);
        return id ? names.value(*id, QStringLiteral("?")) : QStringLiteral("null");
    }
    // A single patient by name and read flag, any other chain by its length.
    template <typename Record> static QString Describe(Record *chain)
    {
        QString text = QString::number(RecordChainLength(chain));
        if constexpr (std::is_same_v<Record, STU_DB_PATIENT_LIST>) {
            if (chain && !chain->pNext)
                text = QStringLiteral("%1 read=%2")
                           .arg(GetRecordText(chain->Name))
                           .arg(chain->ReadFlag);
        }
        FreeRecordChain(chain);
        return text;
    }

    QStringList m_events;
    QStringList m_expected;
};

// Checks that the client heard what was expected of it.
#define HEARD(c)                                                                                   \
    do {                                                                                           \
        const QString missed = (c).Missed();                                                       \
        QVERIFY2(missed.isEmpty(), qPrintable(missed));                                            \
    } while (false)

class DatabaseServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestEnvironment::FailOnWarnings();
        m_db = std::make_unique<TestDatabase>();
    }
    void cleanup()
    {
        delete MDatabaseService::GetInstance();
        QCoreApplication::sendPostedEvents();
        m_client.reset();
        m_db.reset();
    }
    void workItemsRunInPostingOrder()
    {
        ServiceClient &c = StartService();
        const QUuid ann = QUuid::createUuid();
        const QUuid bob = QUuid::createUuid();
        c.names = {{ann, "ann"}, {bob, "bob"}};
        // An import of two patients, then the views asking for them.
        c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(ann, "Ann"), 0, "inserted Ann read=0");
        c.Post(DB_WORK_INSERT_NIBP_DATA, NewId(ann), NewChain<STU_DB_NIBP_DATA_LIST>(3));
        c.Post(DB_WORK_INSERT_SPO2_DATA, NewId(ann), NewChain<STU_DB_SPO2_DATA_LIST>(2));
        c.Post(DB_WORK_INSERT_TEMP_DATA, NewId(ann), NewChain<STU_DB_TEMP_DATA_LIST>(1),
               "finished ann");
        c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(bob, "Ann"), 0, "inserted Ann read=0");
        c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(bob, "Bob"), 0, "result 1 19");
        c.Post(DB_WORK_INSERT_NIBP_DATA, NewId(bob), NewChain<STU_DB_NIBP_DATA_LIST>(5));
        c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, "all 4");
        c.Post(DB_WORK_GET_NIBP_DATA, NewId(ann), 0, "nibp ann 3");
        c.Post(DB_WORK_GET_SPO2_DATA, NewId(ann), 0, "spo2 ann 2");
        c.Post(DB_WORK_GET_TEMP_DATA, NewId(ann), 0, "temp ann 1");
        c.Post(DB_WORK_UPDATE_PATIENT, NewPatient(ann, "Ann Edited"), 0,
               "updated Ann Edited read=0");
        c.Post(DB_WORK_GET_ONE_PATIENT_DETAIL, NewPatient(ann), 0, "detail Ann Edited read=1");
        c.Post(DB_WORK_GET_ONE_PATIENT_BRIEF, NewPatient(ann), 0, "brief Ann Edited read=1");
        c.Post(DB_WORK_UPDATE_BROWSER_FLAG, NewId(ann), 0, "flag ann");
        c.Post(DB_WORK_GET_ONE_PATIENT_BRIEF, NewPatient(ann), 0, "brief Ann Edited read=0");
        c.Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, MERGE_KEY_DEVICE_SN, NewPatient(ann),
               "candidates Ann read=0"); // bob, under the name of his first insert
        c.Post(DB_WORK_MERGE_PATIENT_DATA, NewId(ann), NewId(bob), "merged ann bob");
        c.Post(DB_WORK_GET_NIBP_DATA, NewId(ann), 0, "nibp ann 5");
        c.Post(DB_WORK_DELETE_PATIENT, NewId(ann), 0, "deleted ann");
        c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, "all 2");
        HEARD(c);
    }
    void failuresAnswerTheirCodes()
    {
        ServiceClient &c = StartService();
        const QUuid nobody = QUuid::createUuid();
        c.names = {{nobody, "nobody"}, {QUuid(), "nil"}};
        // Unknown types answer 1 (their parameters cannot be freed).
        for (uint type : {0u, 11u, 17u, 255u})
            c.Post(type, 0, 0, QStringLiteral("result %1 1").arg(type));
        // Missing parameters answer 18; what was given is freed (the sanitizers
        // watch this).
        for (uint type : {1, 2, 3, 5, 6, 7, 8, 9, 10, 12, 13, 14, 15, 16})
            c.Post(type, 0, 0, QStringLiteral("result %1 18").arg(type));
        c.Post(DB_WORK_INSERT_NIBP_DATA, NewId(nobody), 0, "result 5 18");
        c.Post(DB_WORK_INSERT_TEMP_DATA, 0, NewChain<STU_DB_TEMP_DATA_LIST>(2), "result 7 18");
        c.Post(DB_WORK_GET_NIBP_DATA, NewId(), 0, "result 6 18");
        c.Post(DB_WORK_GET_SPO2_DATA, NewId(), 0, "result 10 18");
        c.Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, 0, NewPatient(nobody), "result 13 18");
        c.Post(DB_WORK_MERGE_PATIENT_DATA, NewId(nobody), 0, "result 14 18");
        // Store failures. The import still hears that the patient is finished,
        // the merge dialog that the search and the merge are over; the run's
        // tally counts what of it was not stored (a patient stored before is no loss).
        emit c.RunBegun(7);
        c.Post(DB_WORK_INSERT_TEMP_DATA, NewId(), NewChain<STU_DB_TEMP_DATA_LIST>(2),
               "finished nil|result 7 15");
        c.Post(DB_WORK_INSERT_NIBP_DATA, NewId(), NewChain<STU_DB_NIBP_DATA_LIST>(2),
               "result 5 11");
        c.Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, MERGE_KEY_NAME, NewPatient(QUuid()),
               "candidates 0|result 13 20");
        c.Post(DB_WORK_MERGE_PATIENT_DATA, NewId(), NewId(nobody),
               "merged nil nobody|result 14 21");
        c.Post(DB_WORK_GET_ONE_PATIENT_DETAIL, NewPatient(nobody), 0, "result 12 10");
        c.Post(DB_WORK_GET_ONE_PATIENT_BRIEF, NewPatient(nobody), 0, "result 15 10");
        c.Post(DB_WORK_UPDATE_PATIENT, NewPatient(QUuid()), 0, "result 3 8");
        c.Post(DB_WORK_UPDATE_BROWSER_FLAG, NewId(), 1, "result 16 23");
        c.Post(DB_WORK_DELETE_PATIENT, NewId(), 0, "result 2 7");
        // A patient that is not stored gets no row in the list.
        c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(QUuid(), "Null"), 0, "result 1 6");
        c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(nobody), 0, "inserted  read=0");
        c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(nobody), 0, "result 1 19");
        emit c.RunEnded(7);
        emit c.RunEnded(8); // not the counted run
        c.Expect("run 7 1 4|run 8 0 0");
        HEARD(c);
        const QString log = m_db->LogText();
        QVERIFY(log.contains("Database don't support this function, maybe have memory leak here!"));
        QVERIFY(log.contains("File: DatabaseAccess\\MDatabaseService.cpp, Line:"));
        QVERIFY(log.contains("    ProcessSearchPatientToMerge, wParam and lParam is null"));
        QVERIFY(log.contains("    ProcessInserNewPatient, wParam is null"));
    }
    void writesWaitForAnotherWriter()
    {
        ServiceClient &c = StartService();
        HEARD(c); // the demo data is written
        const QUuid ann = QUuid::createUuid();
        const QUuid bob = QUuid::createUuid();
        c.names = {{ann, "ann"}, {bob, "bob"}};
        // Each write starts while another program writes and goes through once
        // that program lets go (the NIBP records show in the reading below).
        const struct
        {
            uint type;
            quintptr wParam, lParam;
            const char *answers;
        } writes[] = {
            {DB_WORK_INSERT_NEW_PATIENT, NewPatient(ann, "Ann"), 0, "inserted Ann read=0"},
            {DB_WORK_INSERT_NIBP_DATA, NewId(ann), NewChain<STU_DB_NIBP_DATA_LIST>(3), ""},
            {DB_WORK_UPDATE_PATIENT, NewPatient(ann, "Ann B"), 0, "updated Ann B read=0"},
            {DB_WORK_UPDATE_BROWSER_FLAG, NewId(ann), 1, "flag ann"},
            {DB_WORK_INSERT_NEW_PATIENT, NewPatient(bob, "Bob"), 0, "inserted Bob read=0"},
            {DB_WORK_MERGE_PATIENT_DATA, NewId(bob), NewId(ann), "merged bob ann"},
        };
        for (const auto &write : writes) {
            OtherProgramLock other(m_db->File(), "BEGIN IMMEDIATE");
            QVERIFY(other.Holds());
            c.Post(write.type, write.wParam, write.lParam, write.answers);
            QTest::qWait(300);
        }
        c.Post(DB_WORK_GET_NIBP_DATA, NewId(bob), 0, "nibp bob 3");
        HEARD(c);
    }
    void startUpOpensOffTheWindowThread_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("answers");
        // A database another program holds for the first second: it is waited for.
        QTest::newRow("busy") << QByteArray() << "opened 0 \"\"|all 2";
        QTest::newRow("no database")
            << QByteArray("text\n")
            << "opened 4 \"The file \"%1\" is not a patient database: it is "
               "no SQLite database file. It has been left as it is.\"|result 4 9";
    }
    void startUpOpensOffTheWindowThread()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, answers);
        std::unique_ptr<OtherProgramLock> other;
        if (file.isEmpty()) {
            QCOMPARE(DatabaseAccessSQLite().GetOpenResult(), uint(DB_OK));
            other = std::make_unique<OtherProgramLock>(m_db->File(), "BEGIN EXCLUSIVE");
            QVERIFY(other->Holds());
        } else {
            QFile data(m_db->File());
            QVERIFY(QDir().mkpath(m_db->Env().DatabaseDirectory()) &&
                    data.open(QIODevice::WriteOnly));
            data.write(file);
        }
        const QStringList expected =
            answers.replace(QStringLiteral("%1"), m_db->File()).split(QLatin1Char('|'));
        StartService(expected.first()).Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, expected.last());
        if (other) {
            QTest::qWait(1000); // the window's thread goes on meanwhile
            other.reset();
        }
        HEARD(*m_client);
    }
    void changesOfOtherWorkstationsAreTold()
    {
        POSTGRES_OR_SKIP();
        m_db.reset();
        m_db = std::make_unique<TestDatabase>(TestDatabase::PostgreSQL);
        ServiceClient &c = StartService(); // the server URI in the settings chooses the server
        const QUuid ann = QUuid::createUuid();
        c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, "all 2");
        // Its own changes are not news to it.
        c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(ann, "Ann"), 0, "inserted Ann read=0");
        HEARD(c);
        QTest::qWait(500);
        HEARD(c);
        // Another workstation's change is told at once, as one for several.
        QElapsedTimer elapsed;
        elapsed.start();
        {
            DatabaseAccessPostgreSQL other(QStringLiteral("other workstation"));
            QUuid id = ann;
            QCOMPARE(other.DeletePatient(&id), uint(DB_OK));
            QCOMPARE(other.UpdateBrowserFlag(&id, true), uint(DB_OK));
        }
        c.Expect("changed elsewhere");
        HEARD(c);
        QVERIFY(elapsed.elapsed() < 2000);
        // What changed while the server could not be reached was never told: the
        // list is read again once it is reached again.
        // Qt's driver goes on watching the lost connection's closed socket.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^QSocketNotifier: Invalid socket"));
        QVERIFY(PostgresServer::Shared().Stop());
        c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, "result 4 9");
        const bool restarted = PostgresServer::Shared().Start();
        c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, "all 2|changed elsewhere");
        HEARD(c);
        QVERIFY(restarted);
        // And it listens again.
        {
            DatabaseAccessPostgreSQL other(QStringLiteral("other workstation"));
            RecordChainPtr<STU_DB_PATIENT_LIST> bob(
                reinterpret_cast<STU_DB_PATIENT_LIST *>(NewPatient(QUuid::createUuid(), "Bob")));
            QCOMPARE(other.InsertNewPatient(bob.get()), uint(DB_OK));
        }
        c.Expect("changed elsewhere");
        HEARD(c);
    }

private:
    // Starts the service on the test's database; the client, listening
    // before the start, expects the open result first.
    ServiceClient &StartService(const QString &opened = QStringLiteral("opened 0 \"\""))
    {
        MDatabaseService *service = MDatabaseService::GetInstance();
        m_client = std::make_unique<ServiceClient>(service);
        m_client->Expect(opened);
        service->Start();
        [&] { QVERIFY(service->thread() != QThread::currentThread()); }();
        return *m_client;
    }
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<ServiceClient> m_client;
};

QTEST_GUILESS_MAIN(DatabaseServiceTest)
#include "tst_databaseservice.moc"

#include "MDatabaseService.h"
#include "RecordChainPtr.h"
#include "TestEnvironment.h"

#include <QStringList>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

QString Name(const STU_DB_PATIENT_LIST *patient)
{
    return patient ? GetRecordText(patient->Name) : QStringLiteral("null");
}

STU_DB_PATIENT_LIST *NewPatient(const QUuid &id, const QString &name)
{
    auto *patient = new STU_DB_PATIENT_LIST();
    patient->PatientID = id;
    SetRecordText(patient->Name, name);
    SetRecordText(patient->DeviceSN, QStringLiteral("SN"));
    return patient;
}

template <typename Record> Record *NewChain(int count)
{
    RecordChainBuilder<Record> chain;
    const QDateTime start(QDate(2026, 5, 1), QTime(10, 0));
    for (int i = 0; i < count; ++i) {
        auto *record = new Record();
        record->MeasureTime = start.addSecs(60 * i);
        chain.Append(record);
    }
    return chain.Release();
}

template <typename T> quintptr P(T *pointer)
{
    return reinterpret_cast<quintptr>(pointer);
}

} // namespace

// Stands in for the GUI-side senders and receivers: posts work items through
// a queued signal and writes down every answer, owning what it is handed.
class ServiceClient : public QObject
{
    Q_OBJECT

public:
    explicit ServiceClient(MDatabaseService *service)
    {
        connect(this, &ServiceClient::GetDataFromDatabaseRequest, service,
                &MDatabaseService::ProcessDatabaseTaskProc, Qt::QueuedConnection);
        const auto q = Qt::QueuedConnection;
        connect(
            service, &MDatabaseService::OnDatabaseProcessResult, this,
            [this](uint type, uint code) {
                Note(QStringLiteral("result %1 %2").arg(type).arg(code));
            },
            q);
        connect(
            service, &MDatabaseService::OnDatabaseGetAllPatientBriefSucc, this,
            [this](STU_DB_PATIENT_LIST *p) { NoteChain("all", p); }, q);
        connect(
            service, &MDatabaseService::OnDatabaseGetOnePatientDetailSucc, this,
            [this](STU_DB_PATIENT_LIST *p) { NotePatient("detail", p); }, q);
        connect(
            service, &MDatabaseService::OnDatabaseUpdateOnePatientDetailInfoSucc, this,
            [this](STU_DB_PATIENT_LIST *p) { NotePatient("updated", p); }, q);
        connect(
            service, &MDatabaseService::OnDatabaseGetNIBPDataListSucc, this,
            [this](QUuid *id, STU_DB_NIBP_DATA_LIST *c) { NoteList("nibp", id, c); }, q);
        connect(
            service, &MDatabaseService::OnDatabaseGetSPO2DataListSucc, this,
            [this](QUuid *id, STU_DB_SPO2_DATA_LIST *c) { NoteList("spo2", id, c); }, q);
        connect(
            service, &MDatabaseService::OnDatabaseGetTEMPDataListSucc, this,
            [this](QUuid *id, STU_DB_TEMP_DATA_LIST *c) { NoteList("temp", id, c); }, q);
        connect(
            service, &MDatabaseService::OnDatabaseDeletePatientSucc, this,
            [this](QUuid *id) { NoteUuid("deleted", id); }, q);
        connect(
            service, &MDatabaseService::OnDatabaseInsertNewPatientSucc, this,
            [this](STU_DB_PATIENT_LIST *p) { NotePatient("inserted", p); }, q);
        connect(
            service, &MDatabaseService::OnSearchPatientToMergeSucc, this,
            [this](STU_DB_PATIENT_LIST *p) { NoteChain("candidates", p); }, q);
        connect(
            service, &MDatabaseService::OnMergePatientDataSucc, this,
            [this](QUuid *kept, QUuid *gone) {
                NoteUuid("merged", kept);
                NoteUuid("removed", gone);
            },
            q);
        connect(
            service, &MDatabaseService::OnDatabaseUpdateBrowserFlagSucc, this,
            [this](QUuid *id) { NoteUuid("flag", id); }, q);
        connect(
            service, &MDatabaseService::OnDatabaseGetOnePatientBriefSucc, this,
            [this](STU_DB_PATIENT_LIST *p) { NotePatient("brief", p); }, q);
        connect(
            service, &MDatabaseService::OnImportPatientDataFinished, this,
            [this](QUuid *id) { NoteUuid("finished", id); }, q);
    }

    void Post(uint type, quintptr wParam = 0, quintptr lParam = 0)
    {
        emit GetDataFromDatabaseRequest(type, wParam, lParam);
    }

    // Waits for n more answers and returns them.
    QStringList Take(int n)
    {
        if (!QTest::qWaitFor([&] { return m_events.size() >= n; }, 10000))
            return m_events;
        QTest::qWait(20); // nothing beyond what was expected may follow
        return std::exchange(m_events, {});
    }

    QMap<QUuid, QString> names; // short names for the patients' UUIDs

signals:
    void GetDataFromDatabaseRequest(uint iWorkType, quintptr wParam, quintptr lParam);

private:
    void Note(const QString &event) { m_events.append(event); }
    QString Id(const QUuid *id) const
    {
        return id ? names.value(*id, QStringLiteral("?")) : QStringLiteral("null");
    }
    void NoteUuid(const char *what, QUuid *id)
    {
        Note(QStringLiteral("%1 %2").arg(what, Id(id)));
        delete id;
    }
    void NotePatient(const char *what, STU_DB_PATIENT_LIST *patient)
    {
        Note(QStringLiteral("%1 %2 read=%3").arg(what, Name(patient)).arg(patient->ReadFlag));
        FreeRecordChain(patient);
    }
    void NoteChain(const char *what, STU_DB_PATIENT_LIST *chain)
    {
        Note(QStringLiteral("%1 %2").arg(what).arg(RecordChainLength(chain)));
        FreeRecordChain(chain);
    }
    template <typename Record> void NoteList(const char *what, QUuid *id, Record *chain)
    {
        Note(QStringLiteral("%1 %2 %3").arg(what, Id(id)).arg(RecordChainLength(chain)));
        delete id;
        FreeRecordChain(chain);
    }

    QStringList m_events;
};

class DatabaseServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void workItemsRunInPostingOrder();
    void unknownTypesAnswerOne();
    void nullParametersAnswerEighteen();
    void storeFailuresAreReported();

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<ServiceClient> m_client;
};

void DatabaseServiceTest::init()
{
    TestEnvironment::FailOnWarnings();
    m_env = std::make_unique<TestEnvironment>();
    MDatabaseService *service = MDatabaseService::GetInstance();
    QCOMPARE(MDatabaseService::GetInstance(), service);
    service->Start();
    QVERIFY(service->thread() != QThread::currentThread());
    m_client = std::make_unique<ServiceClient>(service);
}

void DatabaseServiceTest::cleanup()
{
    delete MDatabaseService::GetInstance();
    QCoreApplication::sendPostedEvents();
    m_client.reset();
    m_env.reset();
}

void DatabaseServiceTest::workItemsRunInPostingOrder()
{
    ServiceClient &c = *m_client;
    const QUuid ann = QUuid::createUuid();
    const QUuid bob = QUuid::createUuid();
    c.names = {{ann, "ann"}, {bob, "bob"}};
    // An import of two patients, then the views asking for them.
    c.Post(DB_WORK_INSERT_NEW_PATIENT, P(NewPatient(ann, "Ann")));
    c.Post(DB_WORK_INSERT_NIBP_DATA, P(new QUuid(ann)), P(NewChain<STU_DB_NIBP_DATA_LIST>(3)));
    c.Post(DB_WORK_INSERT_SPO2_DATA, P(new QUuid(ann)), P(NewChain<STU_DB_SPO2_DATA_LIST>(2)));
    c.Post(DB_WORK_INSERT_TEMP_DATA, P(new QUuid(ann)), P(NewChain<STU_DB_TEMP_DATA_LIST>(1)));
    c.Post(DB_WORK_INSERT_NEW_PATIENT, P(NewPatient(bob, "Ann")));
    c.Post(DB_WORK_INSERT_NEW_PATIENT, P(NewPatient(bob, "Bob")));
    c.Post(DB_WORK_INSERT_NIBP_DATA, P(new QUuid(bob)), P(NewChain<STU_DB_NIBP_DATA_LIST>(5)));
    c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF);
    c.Post(DB_WORK_GET_NIBP_DATA, P(new QUuid(ann)));
    c.Post(DB_WORK_GET_SPO2_DATA, P(new QUuid(ann)));
    c.Post(DB_WORK_GET_TEMP_DATA, P(new QUuid(ann)));
    STU_DB_PATIENT_LIST *edited = NewPatient(ann, "Ann Edited");
    c.Post(DB_WORK_UPDATE_PATIENT, P(edited));
    c.Post(DB_WORK_GET_ONE_PATIENT_DETAIL, P(NewPatient(ann, QString())));
    c.Post(DB_WORK_GET_ONE_PATIENT_BRIEF, P(NewPatient(ann, QString())));
    c.Post(DB_WORK_UPDATE_BROWSER_FLAG, P(new QUuid(ann)), 0);
    c.Post(DB_WORK_GET_ONE_PATIENT_BRIEF, P(NewPatient(ann, QString())));
    c.Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, MERGE_KEY_DEVICE_SN, P(NewPatient(ann, QString())));
    c.Post(DB_WORK_MERGE_PATIENT_DATA, P(new QUuid(ann)), P(new QUuid(bob)));
    c.Post(DB_WORK_GET_NIBP_DATA, P(new QUuid(ann)));
    c.Post(DB_WORK_DELETE_PATIENT, P(new QUuid(ann)));
    c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF);
    const QStringList expected = {"inserted Ann read=0",
                                  "finished ann",
                                  "inserted Ann read=0",
                                  "all 4",
                                  "nibp ann 3",
                                  "spo2 ann 2",
                                  "temp ann 1",
                                  "updated Ann Edited read=0",
                                  "detail Ann Edited read=1",
                                  "brief Ann Edited read=1",
                                  "flag ann",
                                  "brief Ann Edited read=0",
                                  "candidates 1",
                                  "merged ann",
                                  "removed bob",
                                  "nibp ann 5",
                                  "deleted ann",
                                  "all 2"};
    // The second insert of bob's UUID is refused: no success signal.
    QStringList got = c.Take(expected.size() + 1);
    QVERIFY(got.removeOne("result 1 19"));
    QCOMPARE(got, expected);
}

void DatabaseServiceTest::unknownTypesAnswerOne()
{
    for (uint type : {0u, 11u, 17u, 255u})
        m_client->Post(type, 0, 0);
    QCOMPARE(m_client->Take(4),
             QStringList({"result 0 1", "result 11 1", "result 17 1", "result 255 1"}));
    QVERIFY(m_env->LogText().contains(
        "Database don't support this function, maybe have memory leak here!"));
}

void DatabaseServiceTest::nullParametersAnswerEighteen()
{
    ServiceClient &c = *m_client;
    const QList<uint> types = {1, 2, 3, 5, 6, 7, 8, 9, 10, 12, 13, 14, 15, 16};
    for (uint type : types)
        c.Post(type, 0, 0);
    // Half-given items: what was given is freed (the sanitizers watch this).
    c.Post(DB_WORK_INSERT_NIBP_DATA, P(new QUuid(QUuid::createUuid())), 0);
    c.Post(DB_WORK_INSERT_TEMP_DATA, 0, P(NewChain<STU_DB_TEMP_DATA_LIST>(2)));
    c.Post(DB_WORK_GET_NIBP_DATA, P(new QUuid()));
    c.Post(DB_WORK_GET_SPO2_DATA, P(new QUuid()));
    c.Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, 0, P(NewPatient(QUuid::createUuid(), "x")));
    c.Post(DB_WORK_MERGE_PATIENT_DATA, P(new QUuid(QUuid::createUuid())), 0);
    QStringList expected;
    for (uint type : types)
        expected << QStringLiteral("result %1 18").arg(type);
    expected << "result 5 18"
             << "result 7 18"
             << "result 6 18"
             << "result 10 18"
             << "result 13 18"
             << "result 14 18";
    QCOMPARE(c.Take(expected.size()), expected);
    const QString log = m_env->LogText();
    QVERIFY(log.contains("File: DatabaseAccess\\MDatabaseService.cpp, Line:"));
    QVERIFY(log.contains("    ProcessSearchPatientToMerge, wParam and lParam is null"));
    QVERIFY(log.contains("    ProcessInserNewPatient, wParam is null"));
}

void DatabaseServiceTest::storeFailuresAreReported()
{
    ServiceClient &c = *m_client;
    const QUuid nobody = QUuid::createUuid();
    c.names = {{nobody, "nobody"}, {QUuid(), "nil"}};
    // The import still hears that the patient is finished.
    c.Post(DB_WORK_INSERT_TEMP_DATA, P(new QUuid()), P(NewChain<STU_DB_TEMP_DATA_LIST>(2)));
    c.Post(DB_WORK_INSERT_NIBP_DATA, P(new QUuid()), P(NewChain<STU_DB_NIBP_DATA_LIST>(2)));
    c.Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, MERGE_KEY_NAME, P(NewPatient(QUuid(), "x")));
    c.Post(DB_WORK_MERGE_PATIENT_DATA, P(new QUuid()), P(new QUuid(nobody)));
    c.Post(DB_WORK_GET_ONE_PATIENT_DETAIL, P(NewPatient(nobody, "x")));
    c.Post(DB_WORK_GET_ONE_PATIENT_BRIEF, P(NewPatient(nobody, "x")));
    c.Post(DB_WORK_UPDATE_PATIENT, P(NewPatient(QUuid(), "x")));
    c.Post(DB_WORK_UPDATE_BROWSER_FLAG, P(new QUuid()), 1);
    c.Post(DB_WORK_DELETE_PATIENT, P(new QUuid()));
    c.Post(DB_WORK_INSERT_NEW_PATIENT, P(NewPatient(QUuid(), "Null")));
    const QStringList expected = {
        "finished nil", "result 7 15",    "result 5 11",  "candidates 0",         "result 13 20",
        "merged nil",   "removed nobody", "result 14 21", "result 12 10",         "result 15 10",
        "result 3 8",   "result 16 23",   "result 2 7",   "inserted Null read=0", "result 1 6"};
    QCOMPARE(c.Take(expected.size()), expected);
}

QTEST_GUILESS_MAIN(DatabaseServiceTest)
#include "tst_databaseservice.moc"

#include "PatientData.h"
#include "TestEnvironment.h"
#include "TestRecords.h"

#include <QTest>
#include <utility>

namespace {

// Answers the three list requests for a patient as the database service does.
void Answer(PatientData &model, const QUuid &uuid, int iLength)
{
    AnswerLists(model, uuid, NewChain<STU_DB_NIBP_DATA_LIST>(iLength),
                NewChain<STU_DB_SPO2_DATA_LIST>(iLength), NewChain<STU_DB_TEMP_DATA_LIST>(iLength));
}

// The three lists the model holds.
QList<quintptr> Lists(const PatientData &model)
{
    return {quintptr(model.GetNIBPDataList()), quintptr(model.GetSPO2DataList()),
            quintptr(model.GetTEMPDataList())};
}
const QList<quintptr> kNoLists = {0, 0, 0};

// Names the model's change signals in the order they come.
struct SignalLog : QStringList
{
    explicit SignalLog(PatientData &model)
    {
        const auto add = [this](const char *pName) { return [this, pName] { append(pName); }; };
        QObject::connect(&model, &PatientData::OnPatientDetailInfoChanged, &context, add("detail"));
        QObject::connect(&model, &PatientData::OnPatientNIBPDataChanged, &context, add("nibp"));
        QObject::connect(&model, &PatientData::OnPatientSPO2DataChanged, &context, add("spo2"));
        QObject::connect(&model, &PatientData::OnPatientTEMPDataChanged, &context, add("temp"));
        QObject::connect(&model, &PatientData::OnClearPatientData, &context, add("clear"));
    }
    QStringList Take() { return std::exchange<QStringList>(*this, {}); }
    QObject context;
};

} // namespace

class TestPatientData : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void currentPatientChanges();
    void staleAnswers();
    void clearCurrentVersusOther();
};

void TestPatientData::currentPatientChanges()
{
    PatientData model;
    SignalLog log(model);
    const QUuid uuidA = QUuid::createUuid();
    const QUuid uuidB = QUuid::createUuid();
    model.SetCurrentPatientAndNotify(NewPatient({}, uuidA));
    QCOMPARE(log.Take(), QStringList({"detail"}));
    Answer(model, uuidA, 2);
    const QList<quintptr> lists = Lists(model);
    QVERIFY(!lists.contains(0));
    QCOMPARE(log.Take(), QStringList({"nibp", "spo2", "temp"}));
    QVERIFY(model.HasAllDataLists());

    // A newer record of the same patient keeps his lists, silently; another
    // patient's drops them at once, and his lists are awaited.
    model.SetCurrentPatient(NewPatient({}, uuidA));
    QCOMPARE(Lists(model), lists);
    QVERIFY(log.isEmpty() && model.HasAllDataLists());
    STU_DB_PATIENT_LIST *pB = NewPatient({}, uuidB);
    model.SetCurrentPatient(pB);
    QCOMPARE(Lists(model), kNoLists);
    QCOMPARE(log.Take(), QStringList({"clear"}));
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidB), NewChain<STU_DB_NIBP_DATA_LIST>(1));
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(uuidB), nullptr);
    QVERIFY(!model.HasAllDataLists());
    QCOMPARE(log.Take(), QStringList({"nibp", "spo2"}));

    // Handing back the record already held keeps it alive.
    model.SetCurrentPatientAndNotify(pB);
    QCOMPARE(model.GetCurrentPatient()->PatientID, uuidB);
    QCOMPARE(log.Take(), QStringList({"detail"}));

    // An empty answer for the current patient leaves him without records.
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidB), nullptr);
    QVERIFY(!model.GetNIBPDataList());
    QCOMPARE(log.Take(), QStringList({"nibp"}));

    // No record: everything is dropped, announced once.
    model.SetCurrentPatient(nullptr);
    QCOMPARE(Lists(model), kNoLists);
    QCOMPARE(log.Take(), QStringList({"clear"}));
    model.SetCurrentPatient(nullptr);
    model.SetCurrentPatientAndNotify(nullptr);
    QCOMPARE(log.Take(), QStringList({"detail"}));

    // Whatever is held when the model goes is freed with it (checked by the
    // sanitizer build).
    model.SetCurrentPatient(NewPatient({}, uuidA));
    Answer(model, uuidA, 4);
}

void TestPatientData::staleAnswers()
{
    PatientData model;
    SignalLog log(model);
    const QUuid uuidA = QUuid::createUuid();
    const QUuid uuidB = QUuid::createUuid();
    // Answers before any patient is current: freed without a signal.
    Answer(model, uuidA, 2);
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(), nullptr);
    QCOMPARE(Lists(model), kNoLists);
    QVERIFY(log.isEmpty());

    // Answers for a patient that is no longer current: freed unseen.
    model.SetCurrentPatient(NewPatient({}, uuidA));
    Answer(model, uuidA, 2);
    const QList<quintptr> lists = Lists(model);
    Answer(model, uuidB, 5);
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidB), nullptr);
    QCOMPARE(Lists(model), lists);
    QCOMPARE(RecordChainLength(model.GetNIBPDataList()), 2);
    QCOMPARE(log.Take(), QStringList({"nibp", "spo2", "temp"}));

    // An answer without a UUID is dropped without a signal.
    model.OnDatabaseGetSPO2DataListSucc(nullptr, NewChain<STU_DB_SPO2_DATA_LIST>(3));
    QCOMPARE(Lists(model), lists);
    QVERIFY(log.isEmpty());
}

void TestPatientData::clearCurrentVersusOther()
{
    PatientData model;
    SignalLog log(model);
    const QUuid uuidA = QUuid::createUuid();
    const QUuid uuidOther = QUuid::createUuid();
    STU_DB_PATIENT_LIST *pA = NewPatient({}, uuidA);
    model.SetCurrentPatient(pA);
    Answer(model, uuidA, 2);
    const QList<quintptr> lists = Lists(model);

    // Another patient, no UUID: nothing changes.
    model.ClearPatientData(&uuidOther);
    model.ClearPatientData(nullptr);
    QCOMPARE(model.GetCurrentPatient(), pA);
    QCOMPARE(Lists(model), lists);
    QCOMPARE(log.Take(), QStringList({"nibp", "spo2", "temp"}));

    // The current patient, named by the UUID inside the record itself.
    model.ClearPatientData(&pA->PatientID);
    QVERIFY(!model.GetCurrentPatient());
    QCOMPARE(Lists(model), kNoLists);
    QCOMPARE(log.Take(), QStringList({"clear"}));

    // Already empty: a second clear is silent.
    model.ClearPatientData(&uuidA);
    QVERIFY(log.isEmpty());
}

QTEST_GUILESS_MAIN(TestPatientData)
#include "tst_patientdata.moc"

#include "PatientData.h"
#include "TestEnvironment.h"
#include "TestRecords.h"

#include <QTest>
#include <utility>

namespace {

const QUuid kA = QUuid::createUuid();
const QUuid kB = QUuid::createUuid();

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

// A model and the names of its change signals in the order they come.
struct LoggedModel : PatientData
{
    LoggedModel()
    {
        const auto add = [this](const char *pName) { return [this, pName] { log << pName; }; };
        connect(this, &PatientData::OnPatientDetailInfoChanged, &context, add("detail"));
        connect(this, &PatientData::OnPatientNIBPDataChanged, &context, add("nibp"));
        connect(this, &PatientData::OnPatientSPO2DataChanged, &context, add("spo2"));
        connect(this, &PatientData::OnPatientTEMPDataChanged, &context, add("temp"));
        connect(this, &PatientData::OnClearPatientData, &context, add("clear"));
    }
    QString Take() { return std::exchange(log, {}).join(' '); }
    QStringList log;
    QObject context;
};

} // namespace

class TestPatientData : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void listsOfTheCurrentPatientOnly();
    void clearCurrentVersusOther();
};

void TestPatientData::listsOfTheCurrentPatientOnly()
{
    LoggedModel model;
    // Answers before any patient is current: freed without a signal.
    Answer(model, kA, 2);
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(), nullptr);
    QCOMPARE(Lists(model), kNoLists);
    QCOMPARE(model.Take(), "");

    model.SetCurrentPatientAndNotify(NewPatient({}, kA));
    Answer(model, kA, 2);
    const QList<quintptr> lists = Lists(model);
    QVERIFY(!lists.contains(0) && model.HasAllDataLists());
    QCOMPARE(model.Take(), "detail nibp spo2 temp");

    // Answers for a patient that is not current, or without a UUID: freed unseen.
    Answer(model, kB, 5);
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(kB), nullptr);
    model.OnDatabaseGetSPO2DataListSucc(nullptr, NewChain<STU_DB_SPO2_DATA_LIST>(3));
    QCOMPARE(Lists(model), lists);
    QCOMPARE(RecordChainLength(model.GetNIBPDataList()), 2);

    // A newer record of the same patient keeps his lists, silently; another
    // patient's drops them at once, and his lists are awaited.
    model.SetCurrentPatient(NewPatient({}, kA));
    QCOMPARE(Lists(model), lists);
    QVERIFY(model.HasAllDataLists());
    STU_DB_PATIENT_LIST *pB = NewPatient({}, kB);
    model.SetCurrentPatient(pB);
    QCOMPARE(Lists(model), kNoLists);
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(kB), NewChain<STU_DB_NIBP_DATA_LIST>(1));
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(kB), nullptr);
    QVERIFY(!model.HasAllDataLists());
    QCOMPARE(model.Take(), "clear nibp spo2");

    // Handing back the record already held keeps it alive.
    model.SetCurrentPatientAndNotify(pB);
    QCOMPARE(model.GetCurrentPatient()->PatientID, kB);
    // An empty answer for the current patient leaves him without records.
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(kB), nullptr);
    QVERIFY(!model.GetNIBPDataList());
    QCOMPARE(model.Take(), "detail nibp");

    // No record: everything is dropped, announced once.
    model.SetCurrentPatient(nullptr);
    QCOMPARE(Lists(model), kNoLists);
    model.SetCurrentPatient(nullptr);
    model.SetCurrentPatientAndNotify(nullptr);
    QCOMPARE(model.Take(), "clear detail");

    // Whatever is held when the model goes is freed with it (checked by the
    // sanitizer build).
    model.SetCurrentPatient(NewPatient({}, kA));
    Answer(model, kA, 4);
}

void TestPatientData::clearCurrentVersusOther()
{
    LoggedModel model;
    STU_DB_PATIENT_LIST *pA = NewPatient({}, kA);
    model.SetCurrentPatient(pA);
    Answer(model, kA, 2);
    const QList<quintptr> lists = Lists(model);

    // Another patient, no UUID: nothing changes.
    model.ClearPatientData(&kB);
    model.ClearPatientData(nullptr);
    QCOMPARE(model.GetCurrentPatient(), pA);
    QCOMPARE(Lists(model), lists);
    QCOMPARE(model.Take(), "nibp spo2 temp");

    // The current patient, named by the UUID inside the record itself; a
    // second clear, already empty, is silent.
    model.ClearPatientData(&pA->PatientID);
    QVERIFY(!model.GetCurrentPatient());
    QCOMPARE(Lists(model), kNoLists);
    model.ClearPatientData(&kA);
    QCOMPARE(model.Take(), "clear");
}

QTEST_GUILESS_MAIN(TestPatientData)
#include "tst_patientdata.moc"

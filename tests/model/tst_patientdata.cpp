#include "PatientData.h"
#include "TestEnvironment.h"

#include <QMetaMethod>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

STU_DB_PATIENT_LIST *NewPatient(const QUuid &uuid)
{
    auto *pPatient = new STU_DB_PATIENT_LIST;
    pPatient->PatientID = uuid;
    return pPatient;
}

template <typename Record> Record *NewChain(int iLength)
{
    Record *pHead = nullptr;
    for (int i = 0; i < iLength; ++i) {
        auto *pNode = new Record;
        pNode->ID = iLength - i;
        pNode->pNext = pHead;
        pHead = pNode;
    }
    return pHead;
}

// Watches the five change signals of one model.
struct Spies
{
    explicit Spies(PatientData &model)
        : detail(&model, &PatientData::OnPatientDetailInfoChanged),
          nibp(&model, &PatientData::OnPatientNIBPDataChanged),
          spo2(&model, &PatientData::OnPatientSPO2DataChanged),
          temp(&model, &PatientData::OnPatientTEMPDataChanged),
          clear(&model, &PatientData::OnClearPatientData)
    {
    }
    QList<int> Counts() const
    {
        return {int(detail.count()), int(nibp.count()), int(spo2.count()), int(temp.count()),
                int(clear.count())};
    }
    QSignalSpy detail, nibp, spo2, temp, clear;
};

} // namespace

class TestPatientData : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void metaObjectOrder();
    void currentPatientChanges();
    void staleAnswersKeepTheOldLists();
    void answersWithoutCurrentPatient();
    void clearCurrentVersusOther();
};

// The connections of the start-up code address the signals and slots by their
// place in the meta-object.
void TestPatientData::metaObjectOrder()
{
    const QMetaObject &meta = PatientData::staticMetaObject;
    const QStringList expected = {
        "OnPatientDetailInfoChanged()",
        "OnPatientNIBPDataChanged()",
        "OnPatientSPO2DataChanged()",
        "OnPatientTEMPDataChanged()",
        "OnClearPatientData()",
        "OnDatabaseGetNIBPDataListSucc(QUuid*,STU_DB_NIBP_DATA_LIST*)",
        "OnDatabaseGetSPO2DataListSucc(QUuid*,STU_DB_SPO2_DATA_LIST*)",
        "OnDatabaseGetTEMPDataListSucc(QUuid*,STU_DB_TEMP_DATA_LIST*)",
    };
    QCOMPARE(meta.methodCount() - meta.methodOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(QString::fromLatin1(method.methodSignature()), expected.at(i));
        QCOMPARE(method.methodType(), i < 5 ? QMetaMethod::Signal : QMetaMethod::Slot);
    }
    QCOMPARE(meta.method(meta.methodOffset() + 5).parameterNames().at(0), QByteArray("pInQuid"));
    QVERIFY(PatientData::GetInstance() == PatientData::GetInstance());
    QVERIFY(PatientData::GetInstance()->parent() == nullptr);
}

void TestPatientData::currentPatientChanges()
{
    PatientData model;
    Spies spies(model);
    const QUuid uuidA = QUuid::createUuid();
    const QUuid uuidB = QUuid::createUuid();

    STU_DB_PATIENT_LIST *pA = NewPatient(uuidA);
    model.SetCurrentPatientAndNotify(pA);
    QCOMPARE(model.GetCurrentPatient(), pA);
    QCOMPARE(spies.Counts(), QList<int>({1, 0, 0, 0, 0}));

    auto *pNibp = NewChain<STU_DB_NIBP_DATA_LIST>(3);
    auto *pSpo2 = NewChain<STU_DB_SPO2_DATA_LIST>(2);
    auto *pTemp = NewChain<STU_DB_TEMP_DATA_LIST>(1);
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidA), pNibp);
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(uuidA), pSpo2);
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(uuidA), pTemp);
    QCOMPARE(model.GetNIBPDataList(), pNibp);
    QCOMPARE(model.GetSPO2DataList(), pSpo2);
    QCOMPARE(model.GetTEMPDataList(), pTemp);
    QCOMPARE(spies.Counts(), QList<int>({1, 1, 1, 1, 0}));

    // A new record replaces the old one silently; the lists wait for their answers.
    STU_DB_PATIENT_LIST *pB = NewPatient(uuidB);
    model.SetCurrentPatient(pB);
    QCOMPARE(model.GetCurrentPatient(), pB);
    QCOMPARE(model.GetNIBPDataList(), pNibp);
    QCOMPARE(model.GetSPO2DataList(), pSpo2);
    QCOMPARE(model.GetTEMPDataList(), pTemp);
    QCOMPARE(spies.Counts(), QList<int>({1, 1, 1, 1, 0}));

    // Handing back the record already held keeps it alive.
    model.SetCurrentPatientAndNotify(pB);
    QCOMPARE(model.GetCurrentPatient(), pB);
    QCOMPARE(pB->PatientID, uuidB);
    QCOMPARE(spies.Counts(), QList<int>({2, 1, 1, 1, 0}));

    // An empty answer for the current patient leaves him without records.
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidB), nullptr);
    QVERIFY(!model.GetNIBPDataList());
    QCOMPARE(spies.Counts(), QList<int>({2, 2, 1, 1, 0}));

    // No record: everything is dropped, announced once.
    model.SetCurrentPatient(nullptr);
    QVERIFY(!model.GetCurrentPatient());
    QVERIFY(!model.GetSPO2DataList());
    QVERIFY(!model.GetTEMPDataList());
    QCOMPARE(spies.Counts(), QList<int>({2, 2, 1, 1, 1}));
    model.SetCurrentPatient(nullptr);
    model.SetCurrentPatientAndNotify(nullptr);
    QCOMPARE(spies.Counts(), QList<int>({3, 2, 1, 1, 1}));

    // Whatever is held when the model goes is freed with it (checked by the
    // sanitizer build).
    model.SetCurrentPatient(NewPatient(uuidA));
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(uuidA), NewChain<STU_DB_TEMP_DATA_LIST>(4));
}

void TestPatientData::staleAnswersKeepTheOldLists()
{
    PatientData model;
    Spies spies(model);
    const QUuid uuidA = QUuid::createUuid();
    const QUuid uuidB = QUuid::createUuid();
    model.SetCurrentPatient(NewPatient(uuidA));
    auto *pNibp = NewChain<STU_DB_NIBP_DATA_LIST>(2);
    auto *pSpo2 = NewChain<STU_DB_SPO2_DATA_LIST>(2);
    auto *pTemp = NewChain<STU_DB_TEMP_DATA_LIST>(2);
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidA), pNibp);
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(uuidA), pSpo2);
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(uuidA), pTemp);

    // Answers for a patient that is no longer current: freed, lists kept,
    // and the views still told to redraw.
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidB), NewChain<STU_DB_NIBP_DATA_LIST>(5));
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(uuidB), NewChain<STU_DB_SPO2_DATA_LIST>(5));
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(uuidB), NewChain<STU_DB_TEMP_DATA_LIST>(5));
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidB), nullptr);
    QCOMPARE(model.GetNIBPDataList(), pNibp);
    QCOMPARE(model.GetSPO2DataList(), pSpo2);
    QCOMPARE(model.GetTEMPDataList(), pTemp);
    QCOMPARE(RecordChainLength(model.GetNIBPDataList()), 2);
    QCOMPARE(spies.Counts(), QList<int>({0, 3, 2, 2, 0}));

    // An answer without a UUID is dropped without a signal.
    model.OnDatabaseGetSPO2DataListSucc(nullptr, NewChain<STU_DB_SPO2_DATA_LIST>(3));
    QCOMPARE(model.GetSPO2DataList(), pSpo2);
    QCOMPARE(spies.Counts(), QList<int>({0, 3, 2, 2, 0}));
}

void TestPatientData::answersWithoutCurrentPatient()
{
    PatientData model;
    Spies spies(model);
    const QUuid uuid = QUuid::createUuid();
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuid), NewChain<STU_DB_NIBP_DATA_LIST>(2));
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(uuid), NewChain<STU_DB_SPO2_DATA_LIST>(2));
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(uuid), NewChain<STU_DB_TEMP_DATA_LIST>(2));
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(), nullptr);
    QVERIFY(!model.GetNIBPDataList());
    QVERIFY(!model.GetSPO2DataList());
    QVERIFY(!model.GetTEMPDataList());
    QCOMPARE(spies.Counts(), QList<int>({0, 0, 0, 0, 0}));
}

void TestPatientData::clearCurrentVersusOther()
{
    PatientData model;
    Spies spies(model);
    const QUuid uuidA = QUuid::createUuid();
    const QUuid uuidOther = QUuid::createUuid();
    STU_DB_PATIENT_LIST *pA = NewPatient(uuidA);
    model.SetCurrentPatient(pA);
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuidA), NewChain<STU_DB_NIBP_DATA_LIST>(2));
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(uuidA), NewChain<STU_DB_SPO2_DATA_LIST>(2));
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(uuidA), NewChain<STU_DB_TEMP_DATA_LIST>(2));

    // Another patient, no UUID: nothing changes.
    model.ClearPatientData(&uuidOther);
    model.ClearPatientData(nullptr);
    QCOMPARE(model.GetCurrentPatient(), pA);
    QVERIFY(model.GetNIBPDataList() && model.GetSPO2DataList() && model.GetTEMPDataList());
    QCOMPARE(spies.clear.count(), 0);

    // The current patient, named by the UUID inside the record itself.
    model.ClearPatientData(&pA->PatientID);
    QVERIFY(!model.GetCurrentPatient());
    QVERIFY(!model.GetNIBPDataList());
    QVERIFY(!model.GetSPO2DataList());
    QVERIFY(!model.GetTEMPDataList());
    QCOMPARE(spies.Counts(), QList<int>({0, 1, 1, 1, 1}));

    // Already empty: a second clear is silent.
    model.ClearPatientData(&uuidA);
    QCOMPARE(spies.clear.count(), 1);
}

QTEST_GUILESS_MAIN(TestPatientData)
#include "tst_patientdata.moc"

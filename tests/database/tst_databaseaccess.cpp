#include "DatabaseAccessSQLite.h"
#include "DatabaseFile.h"
#include "RecordChainPtr.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>

#include <memory>

namespace {

const QString kDateTimeForm = QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$");

QString DataFile(const TestEnvironment &env)
{
    return QDir(env.DatabaseDirectory()).filePath(QStringLiteral("Data.db"));
}

QString Key(const QUuid &id)
{
    return QStringLiteral("'%1'").arg(QString::fromLatin1(id.toByteArray()));
}

QString Where(const QUuid &id)
{
    return QStringLiteral(" WHERE PatientID = CAST(%1 AS BLOB)").arg(Key(id));
}

std::unique_ptr<STU_DB_PATIENT_LIST> MakePatient(const QString &name)
{
    auto patient = std::make_unique<STU_DB_PATIENT_LIST>();
    patient->PatientID = QUuid::createUuid();
    SetRecordText(patient->DeviceSN, QStringLiteral("SN-1"));
    patient->IdInDevice = 3;
    SetRecordText(patient->Name, name);
    patient->Gender = 2;
    patient->Height = 170.5f;
    patient->Weight = 61.25f;
    SetRecordText(patient->Mobile, QStringLiteral("555"));
    SetRecordText(patient->Doctor, QStringLiteral("doc"));
    patient->IdentityType = 1;
    SetRecordText(patient->IdentityCode, QStringLiteral("ID-9"));
    SetRecordText(patient->SocietyCode, QStringLiteral("SC-9"));
    patient->PatientType = 3;
    patient->Age = 44;
    SetRecordText(patient->Address, QStringLiteral("Road 1"));
    return patient;
}

QDateTime At(int minutes)
{
    return QDateTime(QDate(2026, 3, 1), QTime(8, 0)).addSecs(minutes * 60);
}

STU_DB_NIBP_DATA_LIST *NibpChain(std::initializer_list<int> minutes, quint16 sys = 120)
{
    RecordChainBuilder<STU_DB_NIBP_DATA_LIST> chain;
    for (int m : minutes) {
        auto *record = new STU_DB_NIBP_DATA_LIST();
        record->MeasureTime = At(m);
        record->SysValue = sys;
        record->DiaValue = 80;
        record->MeanValue = 90;
        record->PrValue = 70;
        chain.Append(record);
    }
    return chain.Release();
}

template <typename Record> QList<int> Minutes(const Record *chain)
{
    QList<int> minutes;
    for (; chain; chain = chain->pNext)
        minutes.append(static_cast<int>(At(0).secsTo(chain->MeasureTime) / 60));
    return minutes;
}

} // namespace

class DatabaseAccessTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void newFileGetsSchemaAndDemoData();
    void existingFileKeepsItsRowsAndGetsTimeIndexes();
    void patientFieldsRoundTrip();
    void duplicateMeasurementsAreStoredOnce();
    void listsReadBothTimeFormsInOrder();
    void searchPatientToMergeByKeyBits();
    void mergeMovesRecordsAndRemovesPatient();
    void failedMergeKeepsBothPatients();
    void deleteLeavesOtherPatients();
    void readOnlyDatabaseFailsWritesAndKeepsFile();
    void closedDatabaseReturnsEachCode();
    void unusableDirectoryFailsOpen();
};

void DatabaseAccessTest::newFileGetsSchemaAndDemoData()
{
    TestEnvironment env;
    QVERIFY(!QDir(env.DatabaseDirectory()).exists());
    {
        DatabaseAccessSQLite store;
        QCOMPARE(store.SelfCheck(), uint(DB_OK));
    }
    QVERIFY(QFile::exists(DataFile(env)));
    DatabaseFile file(DataFile(env));
    QCOMPARE(file.Count("SELECT count(*) FROM Patient"), 2);
    for (const char *table : {"NIBPData", "SPO2Data", "TEMPData"})
        QCOMPARE(file.Count(QStringLiteral("SELECT count(*) FROM %1").arg(table)), 400);
    QCOMPARE(file.Count("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                        "('PatientID_Patient', 'NIBP_NIBPData', 'SPO2_SPO2Data', 'TEMP_TEMPData', "
                        "'NIBPTime_NIBPData', 'SPO2Time_SPO2Data', 'TEMPTime_TEMPData')"),
             7);

    // Stored forms: braced lower-case UUID bytes, date-times to the second.
    const QString id = file.Scalar("SELECT PatientID FROM Patient WHERE IdInDevice = 1").toString();
    QVERIFY(QRegularExpression("^\\{[0-9a-f-]{36}\\}$").match(id).hasMatch());
    QCOMPARE(file.Scalar("SELECT typeof(PatientID) || typeof(SysValue) FROM NIBPData LIMIT 1")
                 .toString(),
             "blobinteger");
    QCOMPARE(file.Scalar("SELECT typeof(TempValue) || TempValue FROM TEMPData LIMIT 1").toString(),
             "real37.0");
    QVERIFY(QRegularExpression(kDateTimeForm)
                .match(file.Scalar("SELECT MeasureTime FROM TEMPData LIMIT 1").toString())
                .hasMatch());
    QVERIFY(QRegularExpression(kDateTimeForm)
                .match(file.Scalar("SELECT LastUpdateTime FROM Patient LIMIT 1").toString())
                .hasMatch());

    // Patient B is the monitor's pseudo-patient; values follow record i.
    DatabaseAccessSQLite store;
    STU_DB_PATIENT_LIST *brief = nullptr;
    QCOMPARE(store.GetAllPatientBrief(&brief), uint(DB_OK));
    RecordChainPtr<STU_DB_PATIENT_LIST> patients(brief);
    QCOMPARE(RecordChainLength(brief), 2);
    STU_DB_PATIENT_LIST *b = brief->IdInDevice == MONITOR_PSEUDO_PATIENT_ID ? brief : brief->pNext;
    QCOMPARE(b->IdInDevice, MONITOR_PSEUDO_PATIENT_ID);
    QCOMPARE(GetRecordText(b->Name), QString::fromUtf16(u"\u674E\u56DB"));
    QCOMPARE(b->ReadFlag, false);
    QCOMPARE(store.GetPatientDetail(b), uint(DB_OK));
    QCOMPARE(b->Height, 163.0f);
    QCOMPARE(GetRecordText(b->IdentityCode), QStringLiteral("079788686868686780"));

    STU_DB_TEMP_DATA_LIST *temps = nullptr;
    QCOMPARE(store.GetTempDataList(&b->PatientID, &temps), uint(DB_OK));
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temps);
    QCOMPARE(RecordChainLength(temps), 200);
    QCOMPARE(temps->pNext->TempValue, 37.1f);
    QCOMPARE(temps->MeasureTime.secsTo(temps->pNext->MeasureTime), 1800);
    STU_DB_NIBP_DATA_LIST *nibp = nullptr;
    QCOMPARE(store.GetNibpDataList(&b->PatientID, &nibp), uint(DB_OK));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibpChain(nibp);
    const STU_DB_NIBP_DATA_LIST *r = nibp;
    for (int i = 0; i < 45; ++i)
        r = r->pNext;
    QCOMPARE(int(r->SysValue), 125);
    QCOMPARE(int(r->DiaValue), 85);
    QCOMPARE(int(r->MeanValue), 108);
    QCOMPARE(int(r->PrValue), 80);
}

void DatabaseAccessTest::existingFileKeepsItsRowsAndGetsTimeIndexes()
{
    TestEnvironment env;
    QDir().mkpath(env.DatabaseDirectory());
    {
        DatabaseFile file(DataFile(env));
        QVERIFY(file.Exec("CREATE TABLE Patient(PatientID, DeviceSN, IdInDevice, Name, Gender, "
                          "Height, Weight, Mobile, Doctor, IdentityType, IdentityCode, "
                          "SocietyCode, PatientType, Age, Address, ReadFlag, LastUpdateTime)"));
        for (const char *table : {"NIBPData", "SPO2Data", "TEMPData"})
            QVERIFY(file.Exec(QStringLiteral("CREATE TABLE %1(ID INTEGER PRIMARY KEY, PatientID, "
                                             "MeasureTime, A, B, C, D)")
                                  .arg(table)));
    }
    {
        DatabaseAccessSQLite store;
        QCOMPARE(store.SelfCheck(), uint(DB_OK));
    }
    DatabaseFile file(DataFile(env));
    QCOMPARE(file.Count("SELECT count(*) FROM Patient"), 0);
    QCOMPARE(file.Count("SELECT count(*) FROM sqlite_master WHERE name = 'NIBPTime_NIBPData'"), 1);
    QCOMPARE(file.Count("SELECT count(*) FROM sqlite_master WHERE name = 'TEMPTime_TEMPData'"), 1);

    // Where the indexes cannot be added the file is opened all the same.
    QVERIFY(file.Exec("DROP TABLE TEMPData"));
    QVERIFY(file.Exec("DROP INDEX NIBPTime_NIBPData"));
    QVERIFY(file.Exec("CREATE VIEW TEMPData AS SELECT 1"));
    DatabaseAccessSQLite store;
    QCOMPARE(store.SelfCheck(), uint(DB_OK));
    QCOMPARE(file.Count("SELECT count(*) FROM sqlite_master WHERE name = 'NIBPTime_NIBPData'"), 0);
}

void DatabaseAccessTest::patientFieldsRoundTrip()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    auto patient = MakePatient(QStringLiteral("Ann"));
    SetRecordText(patient->DeviceSN, QString(31, QLatin1Char('S')));
    SetRecordText(patient->Address, QString(255, QLatin1Char('a')));
    QCOMPARE(store.InsertNewPatient(patient.get()), uint(DB_OK));
    QVERIFY(patient->LastUpdateTime.isValid());

    STU_DB_PATIENT_LIST read;
    read.PatientID = patient->PatientID;
    QCOMPARE(store.GetPatientDetail(&read), uint(DB_OK));
    QCOMPARE(GetRecordText(read.DeviceSN), QString(31, QLatin1Char('S')));
    QCOMPARE(GetRecordText(read.Address), QString(255, QLatin1Char('a')));
    QCOMPARE(read.Weight, 61.25f);
    QCOMPARE(read.PatientType, 3);
    QCOMPARE(read.LastUpdateTime, patient->LastUpdateTime);
    QCOMPARE(read.ReadFlag, false);

    // A stored UUID is refused and nothing changes; a null one too.
    DatabaseFile file(DataFile(env));
    auto again = MakePatient(QStringLiteral("Other"));
    again->PatientID = patient->PatientID;
    QCOMPARE(store.InsertNewPatient(again.get()), uint(DB_ERR_PATIENT_EXISTS));
    QCOMPARE(file.Scalar("SELECT Name FROM Patient" + Where(patient->PatientID)).toString(), "Ann");
    again->PatientID = QUuid();
    QCOMPARE(store.InsertNewPatient(again.get()), uint(DB_ERR_INSERT_PATIENT));
    QVERIFY(env.LogText().contains("Insert a patient that has existed in database."));

    // A minimal record is stored with empty texts and zero numbers.
    STU_DB_PATIENT_LIST minimal;
    minimal.PatientID = QUuid::createUuid();
    minimal.IdInDevice = 7;
    QCOMPARE(store.InsertNewPatient(&minimal), uint(DB_OK));
    QCOMPARE(file.Scalar("SELECT quote(Name) || quote(Gender) || quote(ReadFlag) FROM Patient" +
                         Where(minimal.PatientID))
                 .toString(),
             "''00");

    // The update leaves the device fields, the flag and the time alone.
    file.Exec("UPDATE Patient SET ReadFlag = 'true'" + Where(patient->PatientID));
    SetRecordText(patient->Name, QStringLiteral("Ann B"));
    SetRecordText(patient->DeviceSN, QStringLiteral("changed"));
    patient->Age = 45;
    QCOMPARE(store.UpdatePatient(patient.get()), uint(DB_OK));
    STU_DB_PATIENT_LIST brief;
    brief.PatientID = patient->PatientID;
    QCOMPARE(store.GetOnePatientBriefInfo(&brief), uint(DB_OK));
    QCOMPARE(GetRecordText(brief.Name), QStringLiteral("Ann B"));
    QCOMPARE(GetRecordText(brief.DeviceSN), QString(31, QLatin1Char('S')));
    QCOMPARE(brief.ReadFlag, true);
    QCOMPARE(brief.LastUpdateTime, patient->LastUpdateTime);
    QCOMPARE(brief.Age, 0); // a brief record carries no more than the list needs

    STU_DB_PATIENT_LIST unknown;
    unknown.PatientID = QUuid::createUuid();
    QCOMPARE(store.GetPatientDetail(&unknown), uint(DB_ERR_GET_PATIENT));
    QCOMPARE(store.GetOnePatientBriefInfo(&unknown), uint(DB_ERR_GET_PATIENT));
    QVERIFY(env.LogText().contains("File: DatabaseAccess\\DatabaseAccessSQLite.cpp, Line:"));
    QVERIFY(env.LogText().contains("    Get Patient detail failed."));
}

void DatabaseAccessTest::duplicateMeasurementsAreStoredOnce()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    auto patient = MakePatient(QStringLiteral("Dup"));
    QCOMPARE(store.InsertNewPatient(patient.get()), uint(DB_OK));
    DatabaseFile file(DataFile(env));
    const QString where = Where(patient->PatientID);
    const QString old = QStringLiteral("2020-01-01T00:00:00");
    file.Exec("UPDATE Patient SET ReadFlag = 1, LastUpdateTime = '" + old + "'" + where);

    // A time repeated inside one chain is stored once as well.
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> first(NibpChain({0, 30, 30, 60}));
    QCOMPARE(store.InsertNibpData(&patient->PatientID, first.get()), uint(DB_OK));
    QCOMPARE(file.Count("SELECT count(*) FROM NIBPData" + where), 3);
    QCOMPARE(file.Count("SELECT ReadFlag FROM Patient" + where), 0);
    QVERIFY(file.Scalar("SELECT LastUpdateTime FROM Patient" + where).toString() > old);

    // Only duplicates: nothing stored, flag and time left alone.
    file.Exec("UPDATE Patient SET ReadFlag = 1, LastUpdateTime = '" + old + "'" + where);
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> second(NibpChain({0, 30, 60}, 150));
    QCOMPARE(store.InsertNibpData(&patient->PatientID, second.get()), uint(DB_OK));
    QCOMPARE(file.Count("SELECT count(*) FROM NIBPData" + where), 3);
    QCOMPARE(file.Count("SELECT ReadFlag FROM Patient" + where), 1);
    QCOMPARE(file.Scalar("SELECT LastUpdateTime FROM Patient" + where).toString(), old);
    QCOMPARE(file.Count("SELECT count(*) FROM NIBPData WHERE SysValue = 150"), 0);

    auto *spo2 = new STU_DB_SPO2_DATA_LIST();
    spo2->MeasureTime = At(5);
    spo2->SPO2Value = 97;
    spo2->PrValue = 66;
    RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2Chain(spo2);
    QCOMPARE(store.InsertSPO2Data(&patient->PatientID, spo2), uint(DB_OK));
    QCOMPARE(store.InsertSPO2Data(&patient->PatientID, spo2), uint(DB_OK));
    QCOMPARE(file.Count("SELECT count(*) FROM SPO2Data" + where), 1);

    QUuid null;
    QCOMPARE(store.InsertNibpData(&null, first.get()), uint(DB_ERR_INSERT_NIBP));
    QCOMPARE(store.InsertSPO2Data(&null, spo2), uint(DB_ERR_INSERT_SPO2));
    QCOMPARE(store.InsertTempData(&null, nullptr), uint(DB_ERR_INSERT_TEMP));
    QCOMPARE(store.InsertTempData(&patient->PatientID, nullptr), uint(DB_OK));
    QVERIFY(env.LogText().contains("No TEMP data has been saved to database."));
}

void DatabaseAccessTest::listsReadBothTimeFormsInOrder()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    auto patient = MakePatient(QStringLiteral("Forms"));
    QCOMPARE(store.InsertNewPatient(patient.get()), uint(DB_OK));
    DatabaseFile file(DataFile(env));
    const QString key = "CAST(" + Key(patient->PatientID) + " AS BLOB)";
    // The form with milliseconds is what other writers may have left.
    QVERIFY(file.Exec("INSERT INTO TEMPData(PatientID, MeasureTime, TempValue) VALUES(" + key +
                      ", '2026-03-01T09:00:00.250', 36.5)"));
    QVERIFY(file.Exec("INSERT INTO TEMPData(PatientID, MeasureTime, TempValue) VALUES(" + key +
                      ", '2026-03-01T08:30:00', 38.25)"));
    STU_DB_TEMP_DATA_LIST *temps = nullptr;
    QCOMPARE(store.GetTempDataList(&patient->PatientID, &temps), uint(DB_OK));
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> chain(temps);
    QCOMPARE(Minutes(temps), QList<int>({30, 60}));
    QCOMPARE(temps->TempValue, 38.25f);
    QCOMPARE(temps->pNext->MeasureTime.time().msec(), 250);
    QVERIFY(temps->ID > 0);

    // The patient list comes oldest first.
    QVERIFY(file.Exec(
        "UPDATE Patient SET LastUpdateTime = '2030-01-01T00:00:00' WHERE IdInDevice = 1"));
    QVERIFY(
        file.Exec("UPDATE Patient SET LastUpdateTime = '2020-01-01T00:00:00' WHERE Name <> 'Forms' "
                  "AND IdInDevice <> 1"));
    STU_DB_PATIENT_LIST *brief = nullptr;
    QCOMPARE(store.GetAllPatientBrief(&brief), uint(DB_OK));
    RecordChainPtr<STU_DB_PATIENT_LIST> patients(brief);
    QCOMPARE(RecordChainLength(brief), 3);
    QCOMPARE(brief->IdInDevice, MONITOR_PSEUDO_PATIENT_ID);
    QCOMPARE(GetRecordText(brief->pNext->Name), QStringLiteral("Forms"));
    QCOMPARE(brief->pNext->pNext->LastUpdateTime, QDateTime(QDate(2030, 1, 1), QTime(0, 0)));

    QUuid other = QUuid::createUuid();
    STU_DB_SPO2_DATA_LIST *none = reinterpret_cast<STU_DB_SPO2_DATA_LIST *>(1);
    QCOMPARE(store.GetSPO2DataList(&other, &none), uint(DB_OK));
    QVERIFY(!none);
    QUuid null;
    STU_DB_NIBP_DATA_LIST *nibp = nullptr;
    QCOMPARE(store.GetNibpDataList(&null, &nibp), uint(DB_ERR_GET_NIBP));
}

void DatabaseAccessTest::searchPatientToMergeByKeyBits()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    { // Only the patients made here take part.
        DatabaseFile file(DataFile(env));
        file.Exec("DELETE FROM Patient");
    }
    auto base = MakePatient(QStringLiteral("Base"));
    auto twin = MakePatient(QStringLiteral("Base"));
    QCOMPARE(store.InsertNewPatient(base.get()), uint(DB_OK));
    QCOMPARE(store.InsertNewPatient(twin.get()), uint(DB_OK));
    // differing[k] differs from base only in the column of bit k.
    QList<QUuid> differing;
    for (int bit = 0; bit < 14; ++bit) {
        auto p = MakePatient(QStringLiteral("Base"));
        switch (bit) {
        case 0:
            SetRecordText(p->DeviceSN, QStringLiteral("SN-2"));
            break;
        case 1:
            p->IdInDevice = 4;
            break;
        case 2:
            SetRecordText(p->Name, QStringLiteral("base"));
            break;
        case 3:
            p->Gender = 1;
            break;
        case 4:
            p->Height = 170.25f;
            break;
        case 5:
            p->Weight = 61.0f;
            break;
        case 6:
            SetRecordText(p->Mobile, QStringLiteral("556"));
            break;
        case 7:
            SetRecordText(p->Doctor, QStringLiteral("doc2"));
            break;
        case 8:
            p->IdentityType = 2;
            break;
        case 9:
            SetRecordText(p->IdentityCode, QStringLiteral("ID-8"));
            break;
        case 10:
            SetRecordText(p->SocietyCode, QStringLiteral("SC-8"));
            break;
        case 11:
            p->PatientType = 1;
            break;
        case 12:
            p->Age = 43;
            break;
        default:
            SetRecordText(p->Address, QStringLiteral("Road 2"));
            break;
        }
        QCOMPARE(store.InsertNewPatient(p.get()), uint(DB_OK));
        differing.append(p->PatientID);
    }
    auto search = [&](uint bits) {
        STU_DB_PATIENT_LIST *result = nullptr;
        QSet<QUuid> ids;
        if (store.SearchPatientToMerge(bits, base.get(), &result) != DB_OK)
            return QSet<QUuid>({QUuid()});
        RecordChainPtr<STU_DB_PATIENT_LIST> chain(result);
        for (auto *p = result; p; p = p->pNext)
            ids.insert(p->PatientID);
        return ids;
    };
    QSet<QUuid> everyOther(differing.begin(), differing.end());
    everyOther << twin->PatientID;
    QCOMPARE(search(0), everyOther);
    QCOMPARE(search(0xFFFFC000u), everyOther); // bits past Address are ignored
    for (int bit = 0; bit < 14; ++bit) {
        QSet<QUuid> expected = everyOther;
        expected.remove(differing.at(bit));
        QCOMPARE(search(1u << bit), expected);
    }
    QCOMPARE(search(0x3FFF), QSet<QUuid>({twin->PatientID}));

    // Complete records come back.
    STU_DB_PATIENT_LIST *result = nullptr;
    QCOMPARE(store.SearchPatientToMerge(0x3FFF, base.get(), &result), uint(DB_OK));
    RecordChainPtr<STU_DB_PATIENT_LIST> chain(result);
    QCOMPARE(GetRecordText(result->Address), QStringLiteral("Road 1"));
    QCOMPARE(result->Height, 170.5f);
    base->PatientID = QUuid();
    QCOMPARE(store.SearchPatientToMerge(0, base.get(), &result), uint(DB_ERR_SEARCH_TO_MERGE));
    QVERIFY(!result);
}

void DatabaseAccessTest::mergeMovesRecordsAndRemovesPatient()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    auto kept = MakePatient(QStringLiteral("Kept"));
    auto gone = MakePatient(QStringLiteral("Gone"));
    QCOMPARE(store.InsertNewPatient(kept.get()), uint(DB_OK));
    QCOMPARE(store.InsertNewPatient(gone.get()), uint(DB_OK));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> keptNibp(NibpChain({0, 10}, 111));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> goneNibp(NibpChain({10, 20}, 222));
    QCOMPARE(store.InsertNibpData(&kept->PatientID, keptNibp.get()), uint(DB_OK));
    QCOMPARE(store.InsertNibpData(&gone->PatientID, goneNibp.get()), uint(DB_OK));
    auto *temp = new STU_DB_TEMP_DATA_LIST();
    temp->MeasureTime = At(15);
    temp->TempValue = 36.75f;
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temp);
    QCOMPARE(store.InsertTempData(&gone->PatientID, temp), uint(DB_OK));
    DatabaseFile file(DataFile(env));
    const QString old = QStringLiteral("2020-01-01T00:00:00");
    file.Exec("UPDATE Patient SET ReadFlag = 1, LastUpdateTime = '" + old + "'" +
              Where(kept->PatientID));

    QCOMPARE(store.MergePatientData(&kept->PatientID, &gone->PatientID), uint(DB_OK));
    STU_DB_NIBP_DATA_LIST *nibp = nullptr;
    QCOMPARE(store.GetNibpDataList(&kept->PatientID, &nibp), uint(DB_OK));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> merged(nibp);
    QCOMPARE(Minutes(nibp), QList<int>({0, 10, 20}));
    QCOMPARE(int(nibp->pNext->SysValue), 111); // the remaining patient's record wins
    QCOMPARE(int(nibp->pNext->pNext->SysValue), 222);
    QCOMPARE(file.Count("SELECT count(*) FROM TEMPData" + Where(kept->PatientID)), 1);
    for (const char *table : {"Patient", "NIBPData", "SPO2Data", "TEMPData"})
        QCOMPARE(file.Count(QStringLiteral("SELECT count(*) FROM %1").arg(table) +
                            Where(gone->PatientID)),
                 0);
    QCOMPARE(file.Count("SELECT ReadFlag FROM Patient" + Where(kept->PatientID)), 0);
    QVERIFY(file.Scalar("SELECT LastUpdateTime FROM Patient" + Where(kept->PatientID)).toString() >
            old);

    QUuid null;
    QCOMPARE(store.MergePatientData(&null, &kept->PatientID), uint(DB_ERR_MERGE));
    QVERIFY(env.LogText().contains("Merge patient data that new guid or old guid is null."));
}

void DatabaseAccessTest::failedMergeKeepsBothPatients()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    auto kept = MakePatient(QStringLiteral("Kept"));
    auto gone = MakePatient(QStringLiteral("Gone"));
    QCOMPARE(store.InsertNewPatient(kept.get()), uint(DB_OK));
    QCOMPARE(store.InsertNewPatient(gone.get()), uint(DB_OK));
    QUuid a = kept->PatientID;
    QUuid b = gone->PatientID;
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibp(NibpChain({0, 10}));
    QCOMPARE(store.InsertNibpData(&b, nibp.get()), uint(DB_OK));
    auto *temp = new STU_DB_TEMP_DATA_LIST();
    temp->MeasureTime = At(15);
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temp);
    QCOMPARE(store.InsertTempData(&b, temp), uint(DB_OK));
    DatabaseFile file(DataFile(env));
    // Moving the temperature records fails, after the NIBP records were moved.
    QVERIFY(file.Exec("CREATE TRIGGER refuse BEFORE INSERT ON TEMPData "
                      "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    const QByteArray before = DatabaseFile::Digest(DataFile(env));
    QCOMPARE(store.MergePatientData(&a, &b), uint(DB_ERR_MERGE));
    QCOMPARE(DatabaseFile::Digest(DataFile(env)), before);
    QCOMPARE(file.Count("SELECT count(*) FROM Patient" + Where(b)), 1);
    QCOMPARE(file.Count("SELECT count(*) FROM NIBPData" + Where(b)), 2);
    QCOMPARE(file.Count("SELECT count(*) FROM TEMPData" + Where(b)), 1);
    QCOMPARE(file.Count("SELECT count(*) FROM NIBPData" + Where(a)), 0);

    // Into himself or into a patient not stored would lose the records.
    QCOMPARE(store.MergePatientData(&b, &b), uint(DB_ERR_MERGE));
    QUuid stranger = QUuid::createUuid();
    QCOMPARE(store.MergePatientData(&stranger, &b), uint(DB_ERR_MERGE));
    QCOMPARE(DatabaseFile::Digest(DataFile(env)), before);
}

void DatabaseAccessTest::deleteLeavesOtherPatients()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    STU_DB_PATIENT_LIST *brief = nullptr;
    QCOMPARE(store.GetAllPatientBrief(&brief), uint(DB_OK));
    RecordChainPtr<STU_DB_PATIENT_LIST> demo(brief);
    QCOMPARE(store.DeletePatient(&brief->PatientID), uint(DB_OK));
    DatabaseFile file(DataFile(env));
    for (const char *table : {"NIBPData", "SPO2Data", "TEMPData"}) {
        QCOMPARE(file.Count(QStringLiteral("SELECT count(*) FROM %1").arg(table)), 200);
        QCOMPARE(file.Count(QStringLiteral("SELECT count(*) FROM %1").arg(table) +
                            Where(brief->pNext->PatientID)),
                 200);
    }
    QCOMPARE(file.Count("SELECT count(*) FROM Patient"), 1);
    QUuid null;
    QCOMPARE(store.DeletePatient(&null), uint(DB_ERR_DELETE_PATIENT));
    QCOMPARE(store.DeletePatient(nullptr), uint(DB_ERR_DELETE_PATIENT));
}

void DatabaseAccessTest::readOnlyDatabaseFailsWritesAndKeepsFile()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    {
        QSqlDatabase db = QSqlDatabase::database(DatabaseAccessSQLite::ConnectionName(), false);
        db.close();
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QVERIFY(db.open());
    }
    STU_DB_PATIENT_LIST *brief = nullptr;
    QCOMPARE(store.GetAllPatientBrief(&brief), uint(DB_OK));
    RecordChainPtr<STU_DB_PATIENT_LIST> demo(brief);
    const QByteArray before = DatabaseFile::Digest(DataFile(env));
    QUuid a = brief->PatientID;
    QUuid b = brief->pNext->PatientID;
    auto fresh = MakePatient(QStringLiteral("New"));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibp(NibpChain({1}));
    auto *spo2 = new STU_DB_SPO2_DATA_LIST();
    RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2Chain(spo2);
    auto *temp = new STU_DB_TEMP_DATA_LIST();
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temp);

    QCOMPARE(store.InsertNewPatient(fresh.get()), uint(DB_ERR_INSERT_PATIENT));
    QCOMPARE(store.UpdatePatient(brief), uint(DB_ERR_UPDATE_PATIENT));
    QCOMPARE(store.InsertNibpData(&a, nibp.get()), uint(DB_ERR_INSERT_NIBP));
    QCOMPARE(store.InsertSPO2Data(&a, spo2), uint(DB_ERR_INSERT_SPO2));
    QCOMPARE(store.InsertTempData(&a, temp), uint(DB_ERR_INSERT_TEMP));
    QCOMPARE(store.MergePatientData(&a, &b), uint(DB_ERR_MERGE));
    QCOMPARE(store.UpdateLastImportTime(&a), uint(DB_ERR_UPDATE_LAST_IMPORT_TIME));
    QCOMPARE(store.UpdateBrowserFlag(&a, true), uint(DB_ERR_UPDATE_BROWSER_FLAG));
    QCOMPARE(store.DeletePatient(&a), uint(DB_ERR_DELETE_PATIENT));
    QCOMPARE(store.CreateTables(), uint(DB_ERR_CREATE_TABLES));
    QCOMPARE(DatabaseFile::Digest(DataFile(env)), before);
    // Every transaction was ended: reading still works.
    QCOMPARE(store.GetPatientDetail(brief), uint(DB_OK));
    QVERIFY(env.LogText().contains("Insert NIBP data to database failed!"));
}

void DatabaseAccessTest::closedDatabaseReturnsEachCode()
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
    QSqlDatabase::database(DatabaseAccessSQLite::ConnectionName(), false).close();
    const QByteArray before = DatabaseFile::Digest(DataFile(env));
    auto patient = MakePatient(QStringLiteral("X"));
    QUuid &id = patient->PatientID;
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibp(NibpChain({1}));
    STU_DB_PATIENT_LIST *patients = nullptr;
    STU_DB_NIBP_DATA_LIST *nibpList = nullptr;
    STU_DB_SPO2_DATA_LIST *spo2List = nullptr;
    STU_DB_TEMP_DATA_LIST *tempList = nullptr;
    QCOMPARE(store.SelfCheck(), uint(DB_ERR_SELF_CHECK));
    QCOMPARE(store.CreateTables(), uint(DB_ERR_CREATE_TABLES));
    QCOMPARE(store.InitializeTables(), uint(DB_ERR_CREATE_TABLES));
    QCOMPARE(store.InsertNewPatient(patient.get()), uint(DB_ERR_PATIENT_EXISTS));
    QCOMPARE(store.DeletePatient(&id), uint(DB_ERR_DELETE_PATIENT));
    QCOMPARE(store.UpdatePatient(patient.get()), uint(DB_ERR_UPDATE_PATIENT));
    QCOMPARE(store.GetAllPatientBrief(&patients), uint(DB_ERR_GET_ALL_PATIENT_BRIEF));
    QCOMPARE(store.GetPatientDetail(patient.get()), uint(DB_ERR_GET_PATIENT));
    QCOMPARE(store.GetOnePatientBriefInfo(patient.get()), uint(DB_ERR_GET_PATIENT));
    QCOMPARE(store.InsertNibpData(&id, nibp.get()), uint(DB_ERR_INSERT_NIBP));
    QCOMPARE(store.GetNibpDataList(&id, &nibpList), uint(DB_ERR_GET_NIBP));
    QCOMPARE(store.GetSPO2DataList(&id, &spo2List), uint(DB_ERR_GET_SPO2));
    QCOMPARE(store.GetTempDataList(&id, &tempList), uint(DB_ERR_GET_TEMP));
    QCOMPARE(store.SearchPatientToMerge(4, patient.get(), &patients), uint(DB_ERR_SEARCH_TO_MERGE));
    QCOMPARE(store.MergePatientData(&id, &id), uint(DB_ERR_MERGE));
    QCOMPARE(store.UpdateLastImportTime(&id), uint(DB_ERR_UPDATE_LAST_IMPORT_TIME));
    QCOMPARE(store.UpdateBrowserFlag(&id, false), uint(DB_ERR_UPDATE_BROWSER_FLAG));
    QCOMPARE(store.InsertDemoData(), uint(DB_OK));
    QVERIFY(!patients && !nibpList && !spo2List && !tempList);
    QCOMPARE(GetRecordText(patient->Name), QStringLiteral("X"));
    QCOMPARE(DatabaseFile::Digest(DataFile(env)), before);
    QVERIFY(env.LogText().contains("Database self-check failed!"));
}

void DatabaseAccessTest::unusableDirectoryFailsOpen()
{
    TestEnvironment env;
    // The database directory's place is taken by a file.
    QFile blocker(env.DatabaseDirectory());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DatabaseAccessSQLite store;
    QCOMPARE(store.SelfCheck(), uint(DB_ERR_SELF_CHECK));
    STU_DB_PATIENT_LIST *patients = nullptr;
    QCOMPARE(store.GetAllPatientBrief(&patients), uint(DB_ERR_GET_ALL_PATIENT_BRIEF));
    QVERIFY(env.LogText().contains("Database file path is incorrect!"));
}

QTEST_GUILESS_MAIN(DatabaseAccessTest)
#include "tst_databaseaccess.moc"

#include "DatabaseAccessSQLite.h"
#include "RecordChainPtr.h"
#include "TestEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include <memory>

namespace {

QString DataFile(const TestEnvironment &env)
{
    return QDir(env.DatabaseDirectory()).filePath(QStringLiteral("Data.db"));
}

// SHA-256 of the file's bytes, to see that nothing was written.
QByteArray Digest(const TestEnvironment &env)
{
    QFile file(DataFile(env));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Runs one statement on a connection of its own, independent of the store:
// the first column of the first row, true where there is no row, or an
// invalid value where the statement failed.
QVariant Sql(const TestEnvironment &env, const QString &sql)
{
    const QString name = QStringLiteral("check");
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(DataFile(env));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql))
                result = query.next() ? query.value(0) : QVariant(true);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

int Count(const TestEnvironment &env, const QString &sql)
{
    return Sql(env, sql).toInt();
}

// The patient key as stored: the bytes of the braced lower-case text form.
QString Where(const QUuid &id)
{
    return QStringLiteral(" WHERE PatientID = CAST('%1' AS BLOB)").arg(id.toString());
}

// Whether the column holds a date-time as "yyyy-MM-ddTHH:mm:ss" text.
QString InTimeForm(const char *column)
{
    return QStringLiteral("%1 = strftime('%Y-%m-%dT%H:%M:%S', %1)").arg(QLatin1String(column));
}

const QString kOld = QStringLiteral("2020-01-01T00:00:00");

// A store on a new file, with its demo data.
struct Fixture
{
    TestEnvironment env;
    DatabaseAccessSQLite store;
};

std::unique_ptr<STU_DB_PATIENT_LIST> Patient(const QString &name)
{
    auto patient = std::make_unique<STU_DB_PATIENT_LIST>();
    patient->PatientID = QUuid::createUuid();
    SetRecordText(patient->Name, name);
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
        chain.Append(record);
    }
    return chain.Release();
}

// A pointer that must not be used, to see that a result pointer is set.
template <typename Record> Record *Junk()
{
    return reinterpret_cast<Record *>(alignof(Record));
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
    void mergeAndDeletePatients();
    void readOnlyOrClosedDatabaseFailsAndKeepsFile_data();
    void readOnlyOrClosedDatabaseFailsAndKeepsFile();
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
    // Only rows in the stored forms are counted: braced lower-case UUID
    // bytes, date-times as text to the second.
    QCOMPARE(Count(env, "SELECT count(*) FROM Patient WHERE typeof(PatientID) = 'blob' AND "
                        "length(PatientID) = 38 AND CAST(PatientID AS TEXT) GLOB '{*}' AND NOT "
                        "CAST(PatientID AS TEXT) GLOB '*[A-F]*' AND " +
                            InTimeForm("LastUpdateTime")),
             2);
    for (const char *table : {"NIBPData", "SPO2Data", "TEMPData"})
        QCOMPARE(Count(env, QStringLiteral("SELECT count(*) FROM %1 WHERE typeof(PatientID) = "
                                           "'blob' AND %2")
                                .arg(table, InTimeForm("MeasureTime"))),
                 400);
    QCOMPARE(Sql(env, "SELECT typeof(SysValue) || typeof(TempValue) || TempValue "
                      "FROM NIBPData, TEMPData LIMIT 1")
                 .toString(),
             "integerreal37.0");
    QCOMPARE(Count(env, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                        "('PatientID_Patient', 'NIBP_NIBPData', 'SPO2_SPO2Data', 'TEMP_TEMPData', "
                        "'NIBPTime_NIBPData', 'SPO2Time_SPO2Data', 'TEMPTime_TEMPData')"),
             7);

    // Patient B is the monitor's pseudo-patient; values follow record i,
    // half an hour apart.
    const QString b = QStringLiteral(" WHERE PatientID = (SELECT PatientID FROM Patient "
                                     "WHERE IdInDevice = %1) ORDER BY MeasureTime LIMIT 1 OFFSET ")
                          .arg(MONITOR_PSEUDO_PATIENT_ID);
    QCOMPARE(Sql(env, QStringLiteral("SELECT Name || '|' || Height || '|' || IdentityCode || '|' "
                                     "|| ReadFlag FROM Patient WHERE IdInDevice = %1")
                          .arg(MONITOR_PSEUDO_PATIENT_ID))
                 .toString(),
             QString::fromUtf16(u"\u674E\u56DB|163.0|079788686868686780|0"));
    QCOMPARE(Sql(env, "SELECT SysValue || '/' || DiaValue || '/' || MeanValue || '/' || PrValue "
                      "FROM NIBPData" +
                          b + "45")
                 .toString(),
             "125/85/108/80");
    QCOMPARE(Sql(env, "SELECT TempValue FROM TEMPData" + b + "1").toFloat(), 37.1f);
    QCOMPARE(
        Sql(env, "SELECT strftime('%s', MeasureTime) FROM SPO2Data" + b + "1").toLongLong() -
            Sql(env, "SELECT strftime('%s', MeasureTime) FROM SPO2Data" + b + "0").toLongLong(),
        1800);
}

void DatabaseAccessTest::existingFileKeepsItsRowsAndGetsTimeIndexes()
{
    TestEnvironment env;
    QDir().mkpath(env.DatabaseDirectory());
    QVERIFY(Sql(env, "CREATE TABLE Patient(PatientID, DeviceSN, IdInDevice, Name, Gender, "
                     "Height, Weight, Mobile, Doctor, IdentityType, IdentityCode, SocietyCode, "
                     "PatientType, Age, Address, ReadFlag, LastUpdateTime)")
                .isValid());
    for (const char *table : {"NIBPData", "SPO2Data", "TEMPData"})
        QVERIFY(Sql(env, QStringLiteral("CREATE TABLE %1(ID INTEGER PRIMARY KEY, PatientID, "
                                        "MeasureTime, A, B, C, D)")
                             .arg(table))
                    .isValid());
    const QString timeIndexes =
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN "
                       "('NIBPTime_NIBPData', 'SPO2Time_SPO2Data', 'TEMPTime_TEMPData')");
    {
        DatabaseAccessSQLite store;
        QCOMPARE(store.SelfCheck(), uint(DB_OK));
    }
    QCOMPARE(Count(env, "SELECT count(*) FROM Patient"), 0);
    QCOMPARE(Count(env, timeIndexes), 3);

    // Where the indexes cannot be added the file is opened all the same.
    QVERIFY(Sql(env, "DROP TABLE TEMPData").isValid());
    QVERIFY(Sql(env, "DROP INDEX NIBPTime_NIBPData").isValid());
    QVERIFY(Sql(env, "CREATE VIEW TEMPData AS SELECT 1").isValid());
    DatabaseAccessSQLite store;
    QCOMPARE(store.SelfCheck(), uint(DB_OK));
    QCOMPARE(Count(env, timeIndexes), 1);
}

void DatabaseAccessTest::patientFieldsRoundTrip()
{
    Fixture f;
    auto patient = Patient(QStringLiteral("Ann"));
    SetRecordText(patient->DeviceSN, QString(31, QLatin1Char('S')));
    SetRecordText(patient->Address, QString(255, QLatin1Char('a')));
    patient->Weight = 61.25f;
    patient->PatientType = 3;
    QCOMPARE(f.store.InsertNewPatient(patient.get()), uint(DB_OK));
    QVERIFY(patient->LastUpdateTime.isValid());
    STU_DB_PATIENT_LIST read;
    read.PatientID = patient->PatientID;
    QCOMPARE(f.store.GetPatientDetail(&read), uint(DB_OK));
    QCOMPARE(GetRecordText(read.DeviceSN), QString(31, QLatin1Char('S')));
    QCOMPARE(GetRecordText(read.Address), QString(255, QLatin1Char('a')));
    QCOMPARE(read.Weight, 61.25f);
    QCOMPARE(read.PatientType, 3);
    QCOMPARE(read.LastUpdateTime, patient->LastUpdateTime);
    QCOMPARE(read.ReadFlag, false);
    // Empty texts are stored as empty text, not NULL.
    QCOMPARE(Sql(f.env, "SELECT quote(Mobile) FROM Patient" + Where(read.PatientID)).toString(),
             "''");

    // A stored UUID is refused and nothing changes; a null one too.
    auto again = Patient(QStringLiteral("Other"));
    again->PatientID = patient->PatientID;
    QCOMPARE(f.store.InsertNewPatient(again.get()), uint(DB_ERR_PATIENT_EXISTS));
    QCOMPARE(Sql(f.env, "SELECT Name FROM Patient" + Where(patient->PatientID)).toString(), "Ann");
    again->PatientID = QUuid();
    QCOMPARE(f.store.InsertNewPatient(again.get()), uint(DB_ERR_INSERT_PATIENT));
    QVERIFY(f.env.LogText().contains("Insert a patient that has existed in database."));

    // The update leaves the device fields, the flag and the time alone.
    Sql(f.env, "UPDATE Patient SET ReadFlag = 'true'" + Where(patient->PatientID));
    SetRecordText(patient->Name, QStringLiteral("Ann B"));
    SetRecordText(patient->DeviceSN, QStringLiteral("changed"));
    QCOMPARE(f.store.UpdatePatient(patient.get()), uint(DB_OK));
    STU_DB_PATIENT_LIST brief;
    brief.PatientID = patient->PatientID;
    QCOMPARE(f.store.GetOnePatientBriefInfo(&brief), uint(DB_OK));
    QCOMPARE(GetRecordText(brief.Name), QStringLiteral("Ann B"));
    QCOMPARE(GetRecordText(brief.DeviceSN), QString(31, QLatin1Char('S')));
    QCOMPARE(brief.ReadFlag, true);
    QCOMPARE(brief.LastUpdateTime, patient->LastUpdateTime);

    STU_DB_PATIENT_LIST unknown;
    unknown.PatientID = QUuid::createUuid();
    QCOMPARE(f.store.GetPatientDetail(&unknown), uint(DB_ERR_GET_PATIENT));
    QCOMPARE(f.store.GetOnePatientBriefInfo(&unknown), uint(DB_ERR_GET_PATIENT));
    QVERIFY(f.env.LogText().contains("File: DatabaseAccess\\DatabaseAccessSQLite.cpp, Line:"));
    QVERIFY(f.env.LogText().contains("    Get Patient detail failed."));
}

void DatabaseAccessTest::duplicateMeasurementsAreStoredOnce()
{
    Fixture f;
    // Importing the stored demo records again (all three kinds) writes
    // nothing: no rows, and ReadFlag and LastUpdateTime stay as they were.
    Sql(f.env, "UPDATE Patient SET ReadFlag = 1, LastUpdateTime = '" + kOld + "'");
    QUuid demo = QUuid::fromString(
        Sql(f.env, "SELECT CAST(PatientID AS TEXT) FROM Patient WHERE IdInDevice = 1").toString());
    STU_DB_NIBP_DATA_LIST *nibp = nullptr;
    STU_DB_SPO2_DATA_LIST *spo2 = nullptr;
    STU_DB_TEMP_DATA_LIST *temp = nullptr;
    QCOMPARE(f.store.GetNibpDataList(&demo, &nibp), uint(DB_OK));
    QCOMPARE(f.store.GetSPO2DataList(&demo, &spo2), uint(DB_OK));
    QCOMPARE(f.store.GetTempDataList(&demo, &temp), uint(DB_OK));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibpChain(nibp);
    RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2Chain(spo2);
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temp);
    const QByteArray before = Digest(f.env);
    QCOMPARE(f.store.InsertNibpData(&demo, nibp), uint(DB_OK));
    QCOMPARE(f.store.InsertSPO2Data(&demo, spo2), uint(DB_OK));
    QCOMPARE(f.store.InsertTempData(&demo, temp), uint(DB_OK));
    QCOMPARE(Digest(f.env), before);

    // New records, one time twice in the chain: stored once each, and the
    // patient is unread with a newer LastUpdateTime.
    auto patient = Patient(QStringLiteral("Dup"));
    QCOMPARE(f.store.InsertNewPatient(patient.get()), uint(DB_OK));
    const QString where = Where(patient->PatientID);
    Sql(f.env, "UPDATE Patient SET ReadFlag = 1, LastUpdateTime = '" + kOld + "'" + where);
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> fresh(NibpChain({0, 30, 30, 60}));
    QCOMPARE(f.store.InsertNibpData(&patient->PatientID, fresh.get()), uint(DB_OK));
    QCOMPARE(Count(f.env, "SELECT count(*) FROM NIBPData" + where), 3);
    QCOMPARE(Count(f.env, "SELECT ReadFlag FROM Patient" + where), 0);
    QVERIFY(Sql(f.env, "SELECT LastUpdateTime FROM Patient" + where).toString() > kOld);

    QUuid null;
    QCOMPARE(f.store.InsertNibpData(&null, fresh.get()), uint(DB_ERR_INSERT_NIBP));
    QCOMPARE(f.store.InsertTempData(&patient->PatientID, nullptr), uint(DB_OK));
    QVERIFY(f.env.LogText().contains("No TEMP data has been saved to database."));
}

void DatabaseAccessTest::listsReadBothTimeFormsInOrder()
{
    Fixture f;
    auto patient = Patient(QStringLiteral("Forms"));
    QCOMPARE(f.store.InsertNewPatient(patient.get()), uint(DB_OK));
    const QString key = QStringLiteral("CAST('%1' AS BLOB)").arg(patient->PatientID.toString());
    // The form with milliseconds is what other writers may have left.
    QVERIFY(Sql(f.env, "INSERT INTO TEMPData(PatientID, MeasureTime, TempValue) VALUES(" + key +
                           ", '2026-03-01T09:00:00.250', 36.5), (" + key +
                           ", '2026-03-01T08:30:00', 38.25)")
                .isValid());
    STU_DB_TEMP_DATA_LIST *temps = nullptr;
    QCOMPARE(f.store.GetTempDataList(&patient->PatientID, &temps), uint(DB_OK));
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> chain(temps);
    QCOMPARE(RecordChainLength(temps), 2);
    QCOMPARE(temps->MeasureTime, At(30));
    QCOMPARE(temps->TempValue, 38.25f);
    QCOMPARE(temps->pNext->MeasureTime, At(60).addMSecs(250));

    // The patient list comes oldest first.
    Sql(f.env, "UPDATE Patient SET LastUpdateTime = '2030-01-01T00:00:00' WHERE IdInDevice = 1");
    Sql(f.env, "UPDATE Patient SET LastUpdateTime = '" + kOld +
                   "' WHERE Name <> 'Forms' AND IdInDevice <> 1");
    STU_DB_PATIENT_LIST *brief = nullptr;
    QCOMPARE(f.store.GetAllPatientBrief(&brief), uint(DB_OK));
    RecordChainPtr<STU_DB_PATIENT_LIST> patients(brief);
    QCOMPARE(RecordChainLength(brief), 3);
    QCOMPARE(brief->IdInDevice, MONITOR_PSEUDO_PATIENT_ID);
    QCOMPARE(GetRecordText(brief->pNext->Name), QStringLiteral("Forms"));
    QCOMPARE(brief->pNext->pNext->LastUpdateTime, QDateTime(QDate(2030, 1, 1), QTime(0, 0)));

    // No records: an empty result, even where the caller's pointer held junk.
    QUuid other = QUuid::createUuid();
    STU_DB_SPO2_DATA_LIST *none = Junk<STU_DB_SPO2_DATA_LIST>();
    QCOMPARE(f.store.GetSPO2DataList(&other, &none), uint(DB_OK));
    QVERIFY(!none);
    QUuid null;
    STU_DB_NIBP_DATA_LIST *nibp = nullptr;
    QCOMPARE(f.store.GetNibpDataList(&null, &nibp), uint(DB_ERR_GET_NIBP));
}

void DatabaseAccessTest::searchPatientToMergeByKeyBits()
{
    Fixture f;
    Sql(f.env, "DELETE FROM Patient"); // only the patients made here take part
    auto base = Patient(QStringLiteral("Base"));
    // A value in every column: an empty one matches nobody.
    base->Height = 170.5f;
    base->Weight = 61.25f;
    base->Gender = base->IdentityType = base->PatientType = 1;
    base->Age = 40;
    for (char16_t *text : {base->DeviceSN, base->Mobile, base->Doctor, base->IdentityCode,
                           base->SocietyCode, base->Address})
        text[0] = u'v';
    QCOMPARE(f.store.InsertNewPatient(base.get()), uint(DB_OK));
    STU_DB_PATIENT_LIST twin = *base;
    twin.PatientID = QUuid::createUuid();
    QCOMPARE(f.store.InsertNewPatient(&twin), uint(DB_OK));
    // differing[k] differs from base only in the column of bit k.
    const QStringList columns = QStringLiteral("DeviceSN IdInDevice Name Gender Height Weight "
                                               "Mobile Doctor IdentityType IdentityCode "
                                               "SocietyCode PatientType Age Address")
                                    .split(QLatin1Char(' '));
    QList<QUuid> differing;
    for (const QString &column : columns) {
        STU_DB_PATIENT_LIST p = *base;
        p.PatientID = QUuid::createUuid();
        QCOMPARE(f.store.InsertNewPatient(&p), uint(DB_OK));
        QVERIFY(Sql(f.env, QStringLiteral("UPDATE Patient SET %1 = %1 || 'x'").arg(column) +
                               Where(p.PatientID))
                    .isValid());
        differing.append(p.PatientID);
    }
    auto search = [&](uint bits) {
        STU_DB_PATIENT_LIST *result = nullptr;
        QSet<QUuid> found;
        if (f.store.SearchPatientToMerge(bits, base.get(), &result) != DB_OK)
            return QSet<QUuid>({QUuid()});
        RecordChainPtr<STU_DB_PATIENT_LIST> chain(result);
        for (auto *p = result; p; p = p->pNext)
            found.insert(p->PatientID);
        return found;
    };
    QSet<QUuid> everyOther(differing.begin(), differing.end());
    everyOther << twin.PatientID;
    QCOMPARE(search(0), everyOther);
    QCOMPARE(search(0xFFFFC000u), everyOther); // bits past Address are ignored
    for (int bit = 0; bit < 14; ++bit) {
        QSet<QUuid> expected = everyOther;
        expected.remove(differing.at(bit));
        QCOMPARE(search(1u << bit), expected);
    }
    QCOMPARE(search(0x3FFF), QSet<QUuid>({twin.PatientID}));
    // Empty names are nobody's match; beside another key, only that one counts.
    QVERIFY(Sql(f.env, QStringLiteral("UPDATE Patient SET Name = ''")).isValid());
    SetRecordText(base->Name, QString());
    QCOMPARE(search(MERGE_KEY_NAME), QSet<QUuid>());
    everyOther.remove(differing.at(0));
    QCOMPARE(search(MERGE_KEY_NAME | MERGE_KEY_DEVICE_SN), everyOther);

    STU_DB_PATIENT_LIST *result = Junk<STU_DB_PATIENT_LIST>();
    base->PatientID = QUuid();
    QCOMPARE(f.store.SearchPatientToMerge(0, base.get(), &result), uint(DB_ERR_SEARCH_TO_MERGE));
    QVERIFY(!result);
}

void DatabaseAccessTest::mergeAndDeletePatients()
{
    Fixture f;
    auto kept = Patient(QStringLiteral("Kept"));
    auto gone = Patient(QStringLiteral("Gone"));
    QUuid &a = kept->PatientID;
    QUuid &b = gone->PatientID;
    QCOMPARE(f.store.InsertNewPatient(kept.get()), uint(DB_OK));
    QCOMPARE(f.store.InsertNewPatient(gone.get()), uint(DB_OK));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> keptNibp(NibpChain({0, 10}, 111));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> goneNibp(NibpChain({10, 20}, 222));
    QCOMPARE(f.store.InsertNibpData(&a, keptNibp.get()), uint(DB_OK));
    QCOMPARE(f.store.InsertNibpData(&b, goneNibp.get()), uint(DB_OK));
    STU_DB_TEMP_DATA_LIST temp;
    temp.MeasureTime = At(15);
    QCOMPARE(f.store.InsertTempData(&b, &temp), uint(DB_OK));
    Sql(f.env, "UPDATE Patient SET ReadFlag = 1, LastUpdateTime = '" + kOld + "'" + Where(a));

    // Moving the temperature records fails after the NIBP records were
    // moved: the file stays as it was, with both patients whole.
    QVERIFY(Sql(f.env, "CREATE TRIGGER refuse BEFORE INSERT ON TEMPData "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                .isValid());
    const QByteArray before = Digest(f.env);
    QCOMPARE(f.store.MergePatientData(&a, &b), uint(DB_ERR_MERGE));
    // Into himself or into a patient not stored would lose the records.
    QCOMPARE(f.store.MergePatientData(&b, &b), uint(DB_ERR_MERGE));
    QUuid stranger = QUuid::createUuid();
    QCOMPARE(f.store.MergePatientData(&stranger, &b), uint(DB_ERR_MERGE));
    QCOMPARE(Digest(f.env), before);

    // At the same time the remaining patient's record wins.
    QVERIFY(Sql(f.env, "DROP TRIGGER refuse").isValid());
    QCOMPARE(f.store.MergePatientData(&a, &b), uint(DB_OK));
    QCOMPARE(Sql(f.env, "SELECT group_concat(t, ' ') FROM (SELECT substr(MeasureTime, 12, 5) || "
                        "'=' || SysValue AS t FROM NIBPData" +
                            Where(a) + " ORDER BY MeasureTime)")
                 .toString(),
             "08:00=111 08:10=111 08:20=222");
    QCOMPARE(Count(f.env, "SELECT count(*) FROM TEMPData" + Where(a)), 1);
    QCOMPARE(Count(f.env, "SELECT ReadFlag FROM Patient" + Where(a)), 0);
    QVERIFY(Sql(f.env, "SELECT LastUpdateTime FROM Patient" + Where(a)).toString() > kOld);
    QUuid null;
    QCOMPARE(f.store.MergePatientData(&null, &a), uint(DB_ERR_MERGE));
    QVERIFY(f.env.LogText().contains("Merge patient data that new guid or old guid is null."));

    // Deleting the remaining patient leaves nothing of either, and leaves
    // the demo patients whole.
    QCOMPARE(f.store.DeletePatient(&a), uint(DB_OK));
    for (const char *table : {"Patient", "NIBPData", "SPO2Data", "TEMPData"}) {
        const QString count = QStringLiteral("SELECT count(*) FROM %1").arg(table);
        QCOMPARE(Count(f.env, count + Where(a)) + Count(f.env, count + Where(b)), 0);
        QCOMPARE(Count(f.env, count), table[0] == 'P' ? 2 : 400);
    }
    QCOMPARE(f.store.DeletePatient(&null), uint(DB_ERR_DELETE_PATIENT));
    QCOMPARE(f.store.DeletePatient(nullptr), uint(DB_ERR_DELETE_PATIENT));
}

void DatabaseAccessTest::readOnlyOrClosedDatabaseFailsAndKeepsFile_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("read-only") << true;
    QTest::newRow("closed") << false;
}

void DatabaseAccessTest::readOnlyOrClosedDatabaseFailsAndKeepsFile()
{
    QFETCH(bool, readOnly);
    TestEnvironment env;
    DatabaseAccessSQLite store;
    STU_DB_PATIENT_LIST *brief = nullptr;
    QCOMPARE(store.GetAllPatientBrief(&brief), uint(DB_OK));
    RecordChainPtr<STU_DB_PATIENT_LIST> demo(brief);
    QUuid &a = brief->PatientID;
    QUuid &b = brief->pNext->PatientID;
    QSqlDatabase db = QSqlDatabase::database(DatabaseAccessSQLite::ConnectionName(), false);
    db.close();
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    QVERIFY(!readOnly || db.open());
    const QByteArray before = Digest(env);

    auto fresh = Patient(QStringLiteral("New"));
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibp(NibpChain({1}));
    STU_DB_SPO2_DATA_LIST spo2;
    STU_DB_TEMP_DATA_LIST temp;
    // Junk in the result pointers: a failed reading operation leaves them null.
    STU_DB_PATIENT_LIST *all = Junk<STU_DB_PATIENT_LIST>(), *found = Junk<STU_DB_PATIENT_LIST>();
    STU_DB_NIBP_DATA_LIST *nibps = Junk<STU_DB_NIBP_DATA_LIST>();
    STU_DB_SPO2_DATA_LIST *spo2s = Junk<STU_DB_SPO2_DATA_LIST>();
    STU_DB_TEMP_DATA_LIST *temps = Junk<STU_DB_TEMP_DATA_LIST>();
    QList<uint> got, want;
    // closedCode only where it differs from readOnlyCode.
    auto check = [&](uint code, uint readOnlyCode, uint closedCode = DB_OK) {
        got << code;
        want << (readOnly || closedCode == DB_OK ? readOnlyCode : closedCode);
    };
    // The writes come first: the reads after them succeeding on the read-only
    // file shows that every transaction was ended.
    check(store.InsertNewPatient(fresh.get()), DB_ERR_INSERT_PATIENT, DB_ERR_PATIENT_EXISTS);
    check(store.UpdatePatient(brief), DB_ERR_UPDATE_PATIENT);
    check(store.InsertNibpData(&a, nibp.get()), DB_ERR_INSERT_NIBP);
    check(store.InsertSPO2Data(&a, &spo2), DB_ERR_INSERT_SPO2);
    check(store.InsertTempData(&a, &temp), DB_ERR_INSERT_TEMP);
    check(store.MergePatientData(&a, &b), DB_ERR_MERGE);
    check(store.UpdateLastImportTime(&a), DB_ERR_UPDATE_LAST_IMPORT_TIME);
    check(store.UpdateBrowserFlag(&a, true), DB_ERR_UPDATE_BROWSER_FLAG);
    check(store.DeletePatient(&a), DB_ERR_DELETE_PATIENT);
    check(store.CreateTables(), DB_ERR_CREATE_TABLES);
    check(store.InitializeTables(), DB_ERR_CREATE_TABLES);
    check(store.InsertDemoData(), DB_OK);
    check(store.SelfCheck(), DB_OK, DB_ERR_SELF_CHECK);
    check(store.GetAllPatientBrief(&all), DB_OK, DB_ERR_GET_ALL_PATIENT_BRIEF);
    check(store.GetPatientDetail(brief), DB_OK, DB_ERR_GET_PATIENT);
    check(store.GetOnePatientBriefInfo(brief), DB_OK, DB_ERR_GET_PATIENT);
    check(store.GetNibpDataList(&a, &nibps), DB_OK, DB_ERR_GET_NIBP);
    check(store.GetSPO2DataList(&a, &spo2s), DB_OK, DB_ERR_GET_SPO2);
    check(store.GetTempDataList(&a, &temps), DB_OK, DB_ERR_GET_TEMP);
    check(store.SearchPatientToMerge(4, brief, &found), DB_OK, DB_ERR_SEARCH_TO_MERGE);
    QCOMPARE(got, want);
    QCOMPARE(Digest(env), before);
    QVERIFY(readOnly || (!all && !found && !nibps && !spo2s && !temps));
    RecordChainPtr<STU_DB_PATIENT_LIST> allChain(all), foundChain(found);
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibpChain(nibps);
    RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2Chain(spo2s);
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temps);
    QVERIFY(env.LogText().contains(readOnly ? "Insert NIBP data to database failed!"
                                            : "Database self-check failed!"));
}

void DatabaseAccessTest::unusableDirectoryFailsOpen()
{
    TestEnvironment env;
    QFile blocker(env.DatabaseDirectory()); // a file takes the directory's place
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

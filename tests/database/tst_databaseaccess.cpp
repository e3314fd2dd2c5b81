#include "DatabaseAccessPostgreSQL.h"
#include "DatabaseAccessSQLite.h"
#include "FileSizeLimit.h"
#include "OtherProgramLock.h"
#include "PatientRowCodec.h"
#include "ProcessesAtOnce.h"
#include "RecordChainPtr.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include <cstdio>
#include <memory>
#include <type_traits>

namespace {

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kOld = QStringLiteral("2020-01-01T00:00:00");
const QString kCount = QStringLiteral("SELECT count(*) FROM %1");
const char *const kRecordTables[] = {"NIBPData", "SPO2Data", "TEMPData"};

std::unique_ptr<DatabaseAccessSQLite> NewStore(TestDatabase::Kind kind)
{
    if (kind == TestDatabase::PostgreSQL)
        return std::make_unique<DatabaseAccessPostgreSQL>();
    return std::make_unique<DatabaseAccessSQLite>();
}

// A store on a new database of the given kind, with its demo data.
struct Fixture
{
    explicit Fixture(TestDatabase::Kind kind) : db(kind), store(NewStore(kind)) {}
    TestDatabase db;
    std::unique_ptr<DatabaseAccessSQLite> store;
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

// Records at the given minutes; NIBP ones with the given systolic value.
template <typename Record> Record *Chain(const QList<int> &minutes, quint16 sys = 120)
{
    RecordChainBuilder<Record> chain;
    for (int m : minutes) {
        auto *record = new Record();
        record->MeasureTime = At(m);
        if constexpr (std::is_same_v<Record, STU_DB_NIBP_DATA_LIST>)
            record->SysValue = sys;
        chain.Append(record);
    }
    return chain.Release();
}

template <typename Record> Record *Records(int count)
{
    QList<int> minutes;
    for (int i = 0; i < count; ++i)
        minutes << i;
    return Chain<Record>(minutes);
}

// A pointer that must not be used, to see that a result pointer is set.
template <typename Record> Record *Junk()
{
    return reinterpret_cast<Record *>(alignof(Record));
}

enum Unusable
{
    NotSqlite,
    Locked,
    FolderIsFile,
    DiskFullNewFile
};

const QString kWorkstation = QStringLiteral("workstation");

// Another workstation's import into the server database the URI names: the
// patients of the given keys with a hundred records of each kind, the
// result codes written out in the order of the work.
int StoreMonitorSet(const QStringList &uriAndKeys)
{
    TestEnvironment env(false, uriAndKeys.value(0));
    DatabaseAccessPostgreSQL store;
    QStringList codes = {QString::number(store.GetOpenResult())};
    ProcessesAtOnce::ReadyAndWait();
    for (const QString &key : uriAndKeys.mid(1)) {
        STU_DB_PATIENT_LIST patient;
        patient.PatientID = QUuid(key);
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibp(Records<STU_DB_NIBP_DATA_LIST>(100));
        RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2(Records<STU_DB_SPO2_DATA_LIST>(100));
        RecordChainPtr<STU_DB_TEMP_DATA_LIST> temp(Records<STU_DB_TEMP_DATA_LIST>(100));
        for (uint code : {store.InsertNewPatient(&patient),
                          store.InsertNibpData(&patient.PatientID, nibp.get()),
                          store.InsertSPO2Data(&patient.PatientID, spo2.get()),
                          store.InsertTempData(&patient.PatientID, temp.get())})
            codes << QString::number(code);
    }
    std::fputs(qPrintable(codes.join(' ')), stdout);
    return 0;
}

} // namespace

class DatabaseAccessTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void newFileGetsSchemaAndDemoData_data() { TestDatabase::AddKinds(); }
    void newFileGetsSchemaAndDemoData()
    {
        FETCH_DATABASE_KIND(kind);
        TestDatabase db(kind);
        QVERIFY(!QDir(db.Env().DatabaseDirectory()).exists());
        QCOMPARE(NewStore(kind)->SelfCheck(), uint(DB_OK));
        // A second start adds no demo data.
        QCOMPARE(NewStore(kind)->GetOpenResult(), uint(DB_OK));
        QCOMPARE(QFile::exists(db.File()), !db.IsServer());
        // In SQLite only rows in the stored forms are counted: braced lower-case
        // UUID bytes, date-times as text to the second.
        const QString form = db.IsServer()
                                 ? QStringLiteral(" WHERE %1 = %1")
                                 : QStringLiteral(" WHERE typeof(PatientID) = 'blob' AND "
                                                  "%1 = strftime('%Y-%m-%dT%H:%M:%S', %1)");
        QCOMPARE(db.Count(kCount.arg("Patient") + form.arg("LastUpdateTime") +
                          (db.IsServer() ? ""
                                         : " AND length(PatientID) = 38 AND CAST(PatientID AS "
                                           "TEXT) GLOB '{*}' AND NOT CAST(PatientID AS TEXT) "
                                           "GLOB '*[A-F]*'")),
                 2);
        for (const char *table : kRecordTables)
            QCOMPARE(db.Count(kCount.arg(table) + form.arg("MeasureTime")), 400);
        if (db.IsServer()) {
            // The server's own types, and one row per patient and measure time.
            QCOMPARE(
                db.Sql("SELECT string_agg(DISTINCT data_type, ',') FROM information_schema.columns "
                       "WHERE column_name IN ('patientid', 'measuretime', 'lastupdatetime')")
                    .toString(),
                "timestamp without time zone,uuid");
            QCOMPARE(db.Count("SELECT count(*) FROM pg_constraint WHERE contype = 'u' AND "
                              "connamespace = 'public'::regnamespace"),
                     3);
            return;
        }
        QCOMPARE(
            db.Count("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                     "('PatientID_Patient', 'NIBP_NIBPData', 'SPO2_SPO2Data', 'TEMP_TEMPData', "
                     "'NIBPTime_NIBPData', 'SPO2Time_SPO2Data', 'TEMPTime_TEMPData')"),
            7);
        // Patient B is the monitor's pseudo-patient; values follow record i,
        // half an hour apart.
        const QString b = QStringLiteral(" WHERE PatientID = (SELECT PatientID FROM Patient WHERE "
                                         "IdInDevice = %1) ORDER BY MeasureTime LIMIT 1 OFFSET ")
                              .arg(MONITOR_PSEUDO_PATIENT_ID);
        QCOMPARE(db.Sql(QStringLiteral(
                            "SELECT Name || '|' || Height || typeof(Height) || '|' || "
                            "IdentityCode || '|' || ReadFlag || '|' || (SELECT SysValue || "
                            "'/' || DiaValue || '/' || MeanValue || '/' || PrValue || "
                            "typeof(SysValue) FROM NIBPData%2) || '|' || (SELECT round(TempValue, "
                            "5) || typeof(TempValue) FROM TEMPData%3) || '|' || ((SELECT "
                            "strftime('%s', MeasureTime) FROM SPO2Data%4) - (SELECT "
                            "strftime('%s', MeasureTime) FROM SPO2Data%5)) FROM Patient "
                            "WHERE IdInDevice = %1")
                            .arg(QString::number(MONITOR_PSEUDO_PATIENT_ID), b + "45", b + "1",
                                 b + "1", b + "0"))
                     .toString(),
                 QString::fromUtf16(u"\u674E\u56DB|163.0real|079788686868686780|0|125/85/108/80"
                                    u"integer|37.1real|1800"));
    }
    void existingFileGetsWhatItLacks()
    {
        TestDatabase db;
        QDir().mkpath(db.Env().DatabaseDirectory());
        // An empty file, as a first start on a full disk leaves it, is a new database.
        QVERIFY(QFile(db.File()).open(QIODevice::WriteOnly));
        const auto open = [] { return DatabaseAccessSQLite().GetOpenResult(); };
        QCOMPARE(open(), uint(DB_OK));
        QCOMPARE(db.Count(kCount.arg("Patient")), 2);

        // A lost table comes back empty, a lost time index too; the rows stay.
        QVERIFY(db.Sql("DROP TABLE TEMPData").isValid());
        QVERIFY(db.Sql("DROP INDEX NIBPTime_NIBPData").isValid());
        QCOMPARE(open(), uint(DB_OK));
        QCOMPARE(db.Count("SELECT count(*) FROM sqlite_master WHERE name IN ('TEMPData', "
                          "'TEMP_TEMPData', 'TEMPTime_TEMPData', 'NIBPTime_NIBPData')"),
                 4);
        QCOMPARE(db.Count(kCount.arg("Patient")) + db.Count(kCount.arg("TEMPData")), 2);

        // Where the indexes cannot be added the file is opened all the same.
        QVERIFY(db.Sql("DROP TABLE TEMPData").isValid());
        QVERIFY(db.Sql("DROP INDEX NIBPTime_NIBPData").isValid());
        QVERIFY(db.Sql("CREATE VIEW TEMPData AS SELECT 1").isValid());
        QCOMPARE(open(), uint(DB_OK));
        QCOMPARE(db.Count("SELECT count(*) FROM sqlite_master WHERE name IN "
                          "('NIBPTime_NIBPData', 'SPO2Time_SPO2Data', 'TEMPTime_TEMPData')"),
                 1);
    }
    void patientFieldsRoundTrip_data() { TestDatabase::AddKinds(); }
    void patientFieldsRoundTrip()
    {
        FETCH_DATABASE_KIND(kind);
        Fixture f(kind);
        auto patient = Patient(QStringLiteral("Ann"));
        SetRecordText(patient->DeviceSN, QString(31, QLatin1Char('S')));
        SetRecordText(patient->Address, QString(255, QLatin1Char('a')));
        patient->Weight = 61.25f;
        patient->PatientType = 3;
        QCOMPARE(f.store->InsertNewPatient(patient.get()), uint(DB_OK));
        QVERIFY(patient->LastUpdateTime.isValid() && !patient->ReadFlag);
        STU_DB_PATIENT_LIST read;
        read.PatientID = patient->PatientID;
        QCOMPARE(f.store->GetPatientDetail(&read), uint(DB_OK));
        for (int column = 0; column < PatientRowCodec::ColumnCount; ++column)
            QCOMPARE(PatientRowCodec::ToDb(read, column), PatientRowCodec::ToDb(*patient, column));
        // Empty texts are stored as empty text, not NULL.
        QVERIFY(f.db.Sql("SELECT Mobile = '' FROM Patient" + f.db.Where(read.PatientID)).toBool());

        // A stored UUID is refused and nothing changes; a null one too.
        auto again = Patient(QStringLiteral("Other"));
        again->PatientID = patient->PatientID;
        QCOMPARE(f.store->InsertNewPatient(again.get()), uint(DB_ERR_PATIENT_EXISTS));
        QCOMPARE(f.db.Sql("SELECT Name FROM Patient" + f.db.Where(patient->PatientID)).toString(),
                 "Ann");
        again->PatientID = QUuid();
        QCOMPARE(f.store->InsertNewPatient(again.get()), uint(DB_ERR_INSERT_PATIENT));
        QVERIFY(f.db.LogText().contains("Insert a patient that has existed in database."));

        // The update leaves the device fields, the flag and the time alone.
        f.db.Sql("UPDATE Patient SET ReadFlag = 'true'" + f.db.Where(patient->PatientID));
        SetRecordText(patient->Name, QStringLiteral("Ann B"));
        SetRecordText(patient->DeviceSN, QStringLiteral("changed"));
        QCOMPARE(f.store->UpdatePatient(patient.get()), uint(DB_OK));
        STU_DB_PATIENT_LIST brief;
        brief.PatientID = patient->PatientID;
        QCOMPARE(f.store->GetOnePatientBriefInfo(&brief), uint(DB_OK));
        QCOMPARE(GetRecordText(brief.Name), QStringLiteral("Ann B"));
        QCOMPARE(GetRecordText(brief.DeviceSN), QString(31, QLatin1Char('S')));
        QCOMPARE(brief.ReadFlag, true);
        QCOMPARE(brief.LastUpdateTime, patient->LastUpdateTime);

        brief.PatientID = QUuid::createUuid();
        QCOMPARE(f.store->GetPatientDetail(&brief), uint(DB_ERR_GET_PATIENT));
        QCOMPARE(f.store->GetOnePatientBriefInfo(&brief), uint(DB_ERR_GET_PATIENT));
        QVERIFY(f.db.LogText().contains("File: DatabaseAccess\\DatabaseAccessSQLite.cpp, Line:") &&
                f.db.LogText().contains("    Get Patient detail failed."));
    }
    void duplicateMeasurementsAreStoredOnce_data() { TestDatabase::AddKinds(); }
    void duplicateMeasurementsAreStoredOnce()
    {
        FETCH_DATABASE_KIND(kind);
        Fixture f(kind);
        // Importing the stored demo records again (all three kinds) writes
        // nothing: no rows, and ReadFlag and LastUpdateTime stay as they were.
        f.db.Sql("UPDATE Patient SET ReadFlag = '1', LastUpdateTime = '" + kOld + "'");
        QUuid demo = QUuid::fromString(
            f.db.Sql("SELECT CAST(PatientID AS TEXT) FROM Patient WHERE IdInDevice = 1")
                .toString());
        STU_DB_NIBP_DATA_LIST *nibp = nullptr;
        STU_DB_SPO2_DATA_LIST *spo2 = nullptr;
        STU_DB_TEMP_DATA_LIST *temp = nullptr;
        QCOMPARE(f.store->GetNibpDataList(&demo, &nibp), uint(DB_OK));
        QCOMPARE(f.store->GetSPO2DataList(&demo, &spo2), uint(DB_OK));
        QCOMPARE(f.store->GetTempDataList(&demo, &temp), uint(DB_OK));
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibpChain(nibp);
        RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2Chain(spo2);
        RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temp);
        const QString before = f.db.Snapshot();
        QCOMPARE(f.store->InsertNibpData(&demo, nibp), uint(DB_OK));
        QCOMPARE(f.store->InsertSPO2Data(&demo, spo2), uint(DB_OK));
        QCOMPARE(f.store->InsertTempData(&demo, temp), uint(DB_OK));
        QCOMPARE(f.db.Snapshot(), before);

        // New records, one time twice in the chain: stored once each, and the
        // patient is unread with a newer LastUpdateTime.
        auto patient = Patient(QStringLiteral("Dup"));
        QCOMPARE(f.store->InsertNewPatient(patient.get()), uint(DB_OK));
        const QString where = f.db.Where(patient->PatientID);
        f.db.Sql("UPDATE Patient SET ReadFlag = '1', LastUpdateTime = '" + kOld + "'" + where);
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> fresh(Chain<STU_DB_NIBP_DATA_LIST>({0, 30, 30, 60}));
        QCOMPARE(f.store->InsertNibpData(&patient->PatientID, fresh.get()), uint(DB_OK));
        QCOMPARE(f.db.Count(kCount.arg("NIBPData") + where), 3);
        QCOMPARE(f.db.Count("SELECT ReadFlag FROM Patient" + where), 0);
        QVERIFY(f.db.Sql("SELECT LastUpdateTime FROM Patient" + where).toString() > kOld);
        // A time stored with milliseconds is the same second.
        const QString key = f.db.Key(patient->PatientID);
        QVERIFY(f.db.Sql("INSERT INTO NIBPData(PatientID, MeasureTime) VALUES(" + key +
                         ", '2026-03-01T09:30:00.000'), (" + key + ", '2026-03-01T09:40:00.250')")
                    .isValid());
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> again(Chain<STU_DB_NIBP_DATA_LIST>({90, 100}));
        QCOMPARE(f.store->InsertNibpData(&patient->PatientID, again.get()), uint(DB_OK));
        QCOMPARE(f.db.Count(kCount.arg("NIBPData") + where), 5);

        QUuid null;
        QCOMPARE(f.store->InsertNibpData(&null, fresh.get()), uint(DB_ERR_INSERT_NIBP));
        QCOMPARE(f.store->InsertTempData(&patient->PatientID, nullptr), uint(DB_OK));
        QVERIFY(f.db.LogText().contains("No TEMP data has been saved to database."));
    }
    void listsReadBothTimeFormsInOrder_data() { TestDatabase::AddKinds(); }
    void listsReadBothTimeFormsInOrder()
    {
        FETCH_DATABASE_KIND(kind);
        Fixture f(kind);
        auto patient = Patient(QStringLiteral("Forms"));
        QCOMPARE(f.store->InsertNewPatient(patient.get()), uint(DB_OK));
        const QString key = f.db.Key(patient->PatientID);
        // The form with milliseconds is what other writers may have left (a
        // server's timestamp column keeps whole seconds).
        QVERIFY(f.db.Sql("INSERT INTO TEMPData(PatientID, MeasureTime, TempValue) VALUES(" + key +
                         ", '2026-03-01T09:00:00.250', 36.5), (" + key +
                         ", '2026-03-01T08:30:00', 38.25)")
                    .isValid());
        STU_DB_TEMP_DATA_LIST *temps = nullptr;
        QCOMPARE(f.store->GetTempDataList(&patient->PatientID, &temps), uint(DB_OK));
        RecordChainPtr<STU_DB_TEMP_DATA_LIST> chain(temps);
        QCOMPARE(RecordChainLength(temps), 2);
        QCOMPARE(temps->MeasureTime, At(30));
        QCOMPARE(temps->TempValue, 38.25f);
        QCOMPARE(temps->pNext->MeasureTime, At(60).addMSecs(f.db.IsServer() ? 0 : 250));

        // The patient list comes oldest first.
        f.db.Sql("UPDATE Patient SET LastUpdateTime = '2030-01-01T00:00:00' WHERE IdInDevice = 1");
        f.db.Sql("UPDATE Patient SET LastUpdateTime = '" + kOld +
                 "' WHERE Name <> 'Forms' AND IdInDevice <> 1");
        STU_DB_PATIENT_LIST *brief = nullptr;
        QCOMPARE(f.store->GetAllPatientBrief(&brief), uint(DB_OK));
        RecordChainPtr<STU_DB_PATIENT_LIST> patients(brief);
        QCOMPARE(RecordChainLength(brief), 3);
        QCOMPARE(brief->IdInDevice, MONITOR_PSEUDO_PATIENT_ID);
        QCOMPARE(GetRecordText(brief->pNext->Name), QStringLiteral("Forms"));
        QCOMPARE(brief->pNext->pNext->LastUpdateTime, QDateTime(QDate(2030, 1, 1), QTime(0, 0)));

        // No records: an empty result, even where the caller's pointer held junk.
        QUuid other = QUuid::createUuid();
        STU_DB_SPO2_DATA_LIST *none = Junk<STU_DB_SPO2_DATA_LIST>();
        QCOMPARE(f.store->GetSPO2DataList(&other, &none), uint(DB_OK));
        QVERIFY(!none);
        other = QUuid();
        STU_DB_NIBP_DATA_LIST *nibp = nullptr;
        QCOMPARE(f.store->GetNibpDataList(&other, &nibp), uint(DB_ERR_GET_NIBP));
    }
    void searchPatientToMergeByKeyBits_data() { TestDatabase::AddKinds(); }
    void searchPatientToMergeByKeyBits()
    {
        FETCH_DATABASE_KIND(kind);
        Fixture f(kind);
        f.db.Sql("DELETE FROM Patient"); // only the patients made here take part
        auto base = Patient(QStringLiteral("Base"));
        // A value in every column: an empty one matches nobody.
        base->Height = 170.5f;
        base->Weight = 61.25f;
        base->Gender = base->IdentityType = base->PatientType = 1;
        base->Age = 40;
        for (char16_t *text : {base->DeviceSN, base->Mobile, base->Doctor, base->IdentityCode,
                               base->SocietyCode, base->Address})
            text[0] = u'v';
        QCOMPARE(f.store->InsertNewPatient(base.get()), uint(DB_OK));
        STU_DB_PATIENT_LIST twin = *base;
        twin.PatientID = QUuid::createUuid();
        QCOMPARE(f.store->InsertNewPatient(&twin), uint(DB_OK));
        // differing[k] differs from base only in the column of bit k.
        QList<QUuid> differing;
        for (int column = PatientRowCodec::ColDeviceSN; column <= PatientRowCodec::ColAddress;
             ++column) {
            STU_DB_PATIENT_LIST p = *base;
            p.PatientID = QUuid::createUuid();
            const QVariant value = PatientRowCodec::ToDb(p, column);
            PatientRowCodec::FromDb(p, column,
                                    value.typeId() == QMetaType::QString
                                        ? QVariant(value.toString() + QLatin1Char('x'))
                                        : QVariant(value.toDouble() + 1));
            QCOMPARE(f.store->InsertNewPatient(&p), uint(DB_OK));
            differing.append(p.PatientID);
        }
        auto search = [&](uint bits) {
            STU_DB_PATIENT_LIST *result = Junk<STU_DB_PATIENT_LIST>();
            QSet<QUuid> found;
            if (f.store->SearchPatientToMerge(bits, base.get(), &result) != DB_OK)
                return QSet<QUuid>({result ? QUuid::createUuid() : QUuid()});
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
        f.db.Sql("UPDATE Patient SET Name = ''");
        SetRecordText(base->Name, QString());
        QCOMPARE(search(MERGE_KEY_NAME), QSet<QUuid>());
        everyOther.remove(differing.at(0));
        QCOMPARE(search(MERGE_KEY_NAME | MERGE_KEY_DEVICE_SN), everyOther);
        // A failed search leaves the result null.
        base->PatientID = QUuid();
        QCOMPARE(search(0), QSet<QUuid>({QUuid()}));
    }
    void mergeAndDeletePatients_data() { TestDatabase::AddKinds(); }
    void mergeAndDeletePatients()
    {
        FETCH_DATABASE_KIND(kind);
        Fixture f(kind);
        auto kept = Patient(QStringLiteral("Kept"));
        auto gone = Patient(QStringLiteral("Gone"));
        QUuid &a = kept->PatientID;
        QUuid &b = gone->PatientID;
        QCOMPARE(f.store->InsertNewPatient(kept.get()), uint(DB_OK));
        QCOMPARE(f.store->InsertNewPatient(gone.get()), uint(DB_OK));
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> keptNibp(Chain<STU_DB_NIBP_DATA_LIST>({0, 10}, 111));
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> goneNibp(Chain<STU_DB_NIBP_DATA_LIST>({10, 20}, 222));
        RecordChainPtr<STU_DB_TEMP_DATA_LIST> temp(Chain<STU_DB_TEMP_DATA_LIST>({15}));
        QCOMPARE(f.store->InsertNibpData(&a, keptNibp.get()), uint(DB_OK));
        QCOMPARE(f.store->InsertNibpData(&b, goneNibp.get()), uint(DB_OK));
        QCOMPARE(f.store->InsertTempData(&b, temp.get()), uint(DB_OK));
        f.db.Sql("UPDATE Patient SET ReadFlag = '1', LastUpdateTime = '" + kOld + "'" +
                 f.db.Where(a));

        // Moving the temperature records fails after the NIBP records were
        // moved: the file stays as it was, with both patients whole.
        QVERIFY(f.db.RefuseInserts("TEMPData", true));
        const QString before = f.db.Snapshot();
        QCOMPARE(f.store->MergePatientData(&a, &b), uint(DB_ERR_MERGE));
        // Into himself or into a patient not stored would lose the records.
        QCOMPARE(f.store->MergePatientData(&b, &b), uint(DB_ERR_MERGE));
        QUuid stranger = QUuid::createUuid();
        QCOMPARE(f.store->MergePatientData(&stranger, &b), uint(DB_ERR_MERGE));
        QCOMPARE(f.db.Snapshot(), before);

        // At the same time the remaining patient's record wins.
        QVERIFY(f.db.RefuseInserts("TEMPData", false));
        QCOMPARE(f.store->MergePatientData(&a, &b), uint(DB_OK));
        STU_DB_NIBP_DATA_LIST *merged = nullptr;
        QCOMPARE(f.store->GetNibpDataList(&a, &merged), uint(DB_OK));
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> mergedChain(merged);
        QStringList times;
        for (auto *r = merged; r; r = r->pNext)
            times << r->MeasureTime.toString("MM-dd hh:mm=") + QString::number(r->SysValue);
        QCOMPARE(times.join(' '), "03-01 08:00=111 03-01 08:10=111 03-01 08:20=222");
        QCOMPARE(f.db.Count(kCount.arg("TEMPData") + f.db.Where(a)), 1);
        QCOMPARE(f.db.Count("SELECT ReadFlag FROM Patient" + f.db.Where(a)), 0);
        QVERIFY(f.db.Sql("SELECT LastUpdateTime FROM Patient" + f.db.Where(a)).toString() > kOld);
        QUuid null;
        QCOMPARE(f.store->MergePatientData(&null, &a), uint(DB_ERR_MERGE));
        QVERIFY(f.db.LogText().contains("Merge patient data that new guid or old guid is null."));

        // Deleting the remaining patient leaves nothing of either, and leaves
        // the demo patients whole.
        QCOMPARE(f.store->DeletePatient(&a), uint(DB_OK));
        for (const char *table : {"Patient", "NIBPData", "SPO2Data", "TEMPData"}) {
            QCOMPARE(f.db.Count(kCount.arg(table) + f.db.Where(a)) +
                         f.db.Count(kCount.arg(table) + f.db.Where(b)),
                     0);
            QCOMPARE(f.db.Count(kCount.arg(table)), table[0] == 'P' ? 2 : 400);
        }
        QCOMPARE(f.store->DeletePatient(&null), uint(DB_ERR_DELETE_PATIENT));
        QCOMPARE(f.store->DeletePatient(nullptr), uint(DB_ERR_DELETE_PATIENT));
    }
    void readOnlyOrClosedDatabaseFailsAndKeepsFile_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only") << true;
        QTest::newRow("closed") << false;
    }
    void readOnlyOrClosedDatabaseFailsAndKeepsFile()
    {
        QFETCH(bool, readOnly);
        TestDatabase env;
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
        const QByteArray before = Bytes(env.File());

        auto fresh = Patient(QStringLiteral("New"));
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibp(Chain<STU_DB_NIBP_DATA_LIST>({1}));
        STU_DB_SPO2_DATA_LIST spo2;
        STU_DB_TEMP_DATA_LIST temp;
        // Junk in the result pointers: a failed reading operation leaves them null.
        STU_DB_PATIENT_LIST *all = Junk<STU_DB_PATIENT_LIST>(),
                            *found = Junk<STU_DB_PATIENT_LIST>();
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
        check(store.InsertNewPatient(fresh.get()), DB_ERR_INSERT_PATIENT);
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
        QCOMPARE(Bytes(env.File()), before);
        QVERIFY(readOnly || (!all && !found && !nibps && !spo2s && !temps));
        RecordChainPtr<STU_DB_PATIENT_LIST> allChain(all), foundChain(found);
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibpChain(nibps);
        RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2Chain(spo2s);
        RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temps);
        QVERIFY(env.LogText().contains(readOnly ? "Insert NIBP data to database failed!"
                                                : "Database self-check failed!"));
    }
    void unusableFileIsToldAndLeftAlone_data()
    {
        QTest::addColumn<int>("situation");
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("not SQLite") << int(NotSqlite) << uint(DB_ERR_OPEN)
                                    << "The file \"%1\" is not a patient database: it is no SQLite "
                                       "database file. It has been left as it is.";
        QTest::newRow("locked")
            << int(Locked) << uint(DB_ERR_OPEN)
            << "The patient database \"%1\" is locked by another program. It has "
               "been left as it is; close the other program, then start this "
               "one again.";
        QTest::newRow("folder")
            << int(FolderIsFile) << uint(DB_ERR_DRIVER_OR_PATH)
            << "The patient database \"%1\" cannot be opened: its folder cannot "
               "be created.";
        QTest::newRow("new file, disk full")
            << int(DiskFullNewFile) << uint(DB_ERR_CREATE_TABLES)
            << "The patient database \"%1\" cannot be created: its tables could not be written (is "
               "the disk full?). The unfinished file has been removed again.";
    }
    void unusableFileIsToldAndLeftAlone()
    {
        QFETCH(int, situation);
        QFETCH(uint, code);
        QFETCH(QString, text);
        TestDatabase env;
        if (situation == NotSqlite || situation == FolderIsFile) {
            // A text file in the database's place, or in its folder's.
            QVERIFY(situation == FolderIsFile || QDir().mkpath(env.Env().DatabaseDirectory()));
            QFile file(situation == FolderIsFile ? env.Env().DatabaseDirectory() : env.File());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("no database here\n");
        }
        std::unique_ptr<OtherProgramLock> other;
        if (situation == Locked) {
            QCOMPARE(DatabaseAccessSQLite().GetOpenResult(), uint(DB_OK));
            other = std::make_unique<OtherProgramLock>(env.File(), "BEGIN EXCLUSIVE");
            QVERIFY(other->Holds());
        }
        const QByteArray before = Bytes(env.File());
        std::unique_ptr<FileSizeLimit> limit;
        if (situation == DiskFullNewFile)
            limit = std::make_unique<FileSizeLimit>(1024);
        DatabaseAccessSQLite store;
        limit.reset();
        QCOMPARE(store.GetOpenResult(), code);
        QCOMPARE(store.GetOpenProblem(), text.arg(env.File()));
        QCOMPARE(QFile::exists(env.File()), situation == NotSqlite || situation == Locked);
        QCOMPARE(Bytes(env.File()), before);
        QVERIFY(!QFile::exists(env.File() + "-journal"));
        // Every later operation fails, at once.
        STU_DB_PATIENT_LIST *patients = nullptr;
        QCOMPARE(store.GetAllPatientBrief(&patients), uint(DB_ERR_GET_ALL_PATIENT_BRIEF));
    }
    void serverAddressIsRead_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("read"); // host|port|user|database|options, or the problem
        QTest::newRow("local socket") << "postgresql://clinic@/vantrel?host=/run/postgresql"
                                      << "/run/postgresql|-1|clinic|vantrel|";
        QTest::newRow("host and port") << "postgres://ward%20pc@db.clinic:6543/pat%2Fdb"
                                       << "db.clinic|6543|ward pc|pat/db|";
        QTest::newRow("IPv6, options") << "postgresql://[::1]:5433/v?sslmode=require&dbname=w"
                                       << "::1|5433||w|sslmode=require";
        const QString password = "it holds a password, which the settings file must not keep";
        QTest::newRow("password") << "postgresql://u:secret@h/v" << password;
        QTest::newRow("password option") << "postgresql://h/v?password=secret" << password;
        QTest::newRow("no database") << "postgresql://h"
                                     << "it names no database";
        QTest::newRow("bad port") << "postgresql://h:x/v"
                                  << "the port \"x\" is no port number";
    }
    void serverAddressIsRead()
    {
        QFETCH(QString, uri);
        QFETCH(QString, read);
        QVERIFY(DatabaseServerAddress::IsServerUri(uri));
        const DatabaseServerAddress a = DatabaseServerAddress::Parse(uri);
        QCOMPARE(a.Problem().isEmpty() ? QStringList({a.Host(), QString::number(a.Port()), a.User(),
                                                      a.Database(), a.ConnectOptions()})
                                             .join('|')
                                       : a.Problem(),
                 read);
        QVERIFY(!DatabaseServerAddress::IsServerUri("/home/clinic/postgresql://"));
    }
    void unreachableServerIsToldAndConnectedAgain()
    {
        POSTGRES_OR_SKIP();
        TestDatabase db(TestDatabase::PostgreSQL);
        QVERIFY(PostgresServer::Shared().Stop());
        DatabaseAccessPostgreSQL store;
        const bool started = PostgresServer::Shared().Start();
        QCOMPARE(store.GetOpenResult(), uint(DB_ERR_OPEN));
        // The server and the cause are named.
        const QRegularExpression told(
            "^The patient database \"vantrel_test\" on the server /tmp/vm-pg-\\w+:5432 cannot be "
            "reached \\(connection to server on socket .+\\)\\.$");
        QVERIFY2(told.match(store.GetOpenProblem()).hasMatch(), qPrintable(store.GetOpenProblem()));
        QVERIFY(db.LogText().contains(":5432, database vantrel_test: cannot connect ("));
        QVERIFY(started);
        // The next work connects, and builds the schema the first start could not.
        STU_DB_PATIENT_LIST *brief = nullptr;
        QCOMPARE(store.GetAllPatientBrief(&brief), uint(DB_OK));
        RecordChainPtr<STU_DB_PATIENT_LIST> patients(brief);
        QCOMPARE(RecordChainLength(brief), 2);

        // A password in the setting is neither used nor repeated.
        TestEnvironment env(true, "postgresql://vantrel:secret@/vantrel_test?host=/tmp");
        DatabaseAccessPostgreSQL refused;
        QCOMPARE(refused.GetOpenResult(), uint(DB_ERR_DRIVER_OR_PATH));
        QVERIFY(
            refused.GetOpenProblem().startsWith("The patient database setting holds a password."));
        QVERIFY(!env.LogText().contains("secret"));
    }
    void twoWorkstationsStoreTheSameImportOnce()
    {
        POSTGRES_OR_SKIP();
        TestDatabase db(TestDatabase::PostgreSQL, false);
        // Both start on the empty database and import the same monitor at once.
        QStringList monitor = {PostgresServer::Shared().Uri(QStringLiteral("vantrel_test"))};
        for (int i = 0; i < 4; ++i)
            monitor << QUuid::createUuid().toString();
        const QStringList codes = ProcessesAtOnce::Run(kWorkstation, {monitor, monitor})
                                      .join(' ')
                                      .split(' ', Qt::SkipEmptyParts);
        // Each new patient is stored by one of them; the other is told he exists.
        QCOMPARE(codes.count("0"), 2 * (1 + 4 * 3) + 4);
        QCOMPARE(codes.count(QString::number(DB_ERR_PATIENT_EXISTS)), 4);
        QCOMPARE(db.Count(kCount.arg("Patient")), 2 + 4);
        for (const char *table : kRecordTables)
            QCOMPARE(db.Count(kCount.arg(table)), 400 + 4 * 100);
    }
    void serverLostDuringImportFailsAndNextImportCompletes()
    {
        POSTGRES_OR_SKIP();
        TestDatabase db(TestDatabase::PostgreSQL);
        DatabaseAccessPostgreSQL store;
        QList<STU_DB_PATIENT_LIST> monitor(3);
        for (STU_DB_PATIENT_LIST &patient : monitor)
            patient.PatientID = QUuid::createUuid();
        // The import's work items, in the order the monitor's answers bring them;
        // the server goes away after the first patient's NIBP records.
        auto import = [&](bool lose) {
            QList<uint> codes;
            for (STU_DB_PATIENT_LIST patient : monitor) {
                RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibp(Records<STU_DB_NIBP_DATA_LIST>(50));
                RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2(Records<STU_DB_SPO2_DATA_LIST>(50));
                RecordChainPtr<STU_DB_TEMP_DATA_LIST> temp(Records<STU_DB_TEMP_DATA_LIST>(50));
                codes << store.InsertNewPatient(&patient)
                      << store.InsertNibpData(&patient.PatientID, nibp.get());
                if (lose && codes.size() == 2)
                    PostgresServer::Shared().Stop();
                codes << store.InsertSPO2Data(&patient.PatientID, spo2.get())
                      << store.InsertTempData(&patient.PatientID, temp.get());
            }
            return codes;
        };
        const QList<uint> lost = import(true);
        const bool restarted = PostgresServer::Shared().Start();
        const QList<uint> failed = {DB_ERR_INSERT_PATIENT, DB_ERR_INSERT_NIBP, DB_ERR_INSERT_SPO2,
                                    DB_ERR_INSERT_TEMP};
        QCOMPARE(lost, QList<uint>({DB_OK, DB_OK}) + failed.mid(2) + failed + failed);
        QVERIFY(restarted);
        QCOMPARE(db.Count(kCount.arg("Patient")) + db.Count(kCount.arg("NIBPData")) +
                     db.Count(kCount.arg("SPO2Data")),
                 3 + 450 + 400);
        // The next import connects again, skips what is there and stores the rest.
        QCOMPARE(import(false), QList<uint>({DB_ERR_PATIENT_EXISTS}) + QList<uint>(11, DB_OK));
        for (const char *table : kRecordTables)
            QCOMPARE(db.Count(kCount.arg(table)), 400 + 3 * 50);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (ProcessesAtOnce::Part() == kWorkstation)
        return StoreMonitorSet(app.arguments().mid(1));
    DatabaseAccessTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_databaseaccess.moc"

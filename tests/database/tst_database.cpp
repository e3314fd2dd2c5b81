#include "DatabaseAccessPostgreSQL.h"
#include "DatabaseAccessSQLite.h"
#include "FileSizeLimit.h"
#include "MDatabaseService.h"
#include "PatientRowCodec.h"
#include "RecordChainPtr.h"
#include "TestDatabase.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
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

std::unique_ptr<PatientStore> NewStore(TestDatabase::Kind kind)
{
    if (kind == TestDatabase::PostgreSQL)
        return std::make_unique<DatabaseAccessPostgreSQL>();
    return std::make_unique<DatabaseAccessSQLite>();
}

// A store on a new database of the given kind, with its demo data.
struct Fixture
{
    explicit Fixture(TestDatabase::Kind kind) : db(kind), store(NewStore(kind)), s(*store) {}
    // Marks patients read and last updated long ago, to see a change make them unread and newer.
    void MarkOld(const QString &where = QString()) const
    {
        db.Sql("UPDATE Patient SET ReadFlag = '1', LastUpdateTime = '" + kOld + "'" + where);
    }
    TestDatabase db;
    std::unique_ptr<PatientStore> store;
    PatientStore &s;
};

auto Patient(const QString &name, const QUuid &id = QUuid::createUuid())
{
    auto patient = std::make_unique<STU_DB_PATIENT_LIST>();
    patient->PatientID = id;
    SetRecordText(patient->Name, name);
    return patient;
}

QDateTime At(int minutes)
{
    return QDateTime(QDate(2026, 3, 1), QTime(8, 0)).addSecs(minutes * 60);
}

// Records at the given minutes; NIBP ones with the given systolic value.
template <typename Record>
RecordChainPtr<Record> Chain(const QList<int> &minutes, quint16 sys = 120)
{
    RecordChainBuilder<Record> chain;
    for (int m : minutes) {
        auto *record = new Record();
        record->MeasureTime = At(m);
        if constexpr (std::is_same_v<Record, STU_DB_NIBP_DATA_LIST>)
            record->SysValue = sys;
        chain.Append(record);
    }
    return RecordChainPtr<Record>(chain.Release());
}

template <typename Record> RecordChainPtr<Record> Records(int count)
{
    QList<int> minutes;
    while (minutes.size() < count)
        minutes << minutes.size();
    return Chain<Record>(minutes);
}

// A pointer that must not be used, to see that a result pointer is set.
template <typename Record> Record *Junk()
{
    return reinterpret_cast<Record *>(alignof(Record));
}

// Another program's connection to the file, holding its BEGIN's lock while it lives: "BEGIN
// IMMEDIATE" writes, "BEGIN EXCLUSIVE" keeps every other connection out, readers included.
struct OtherProgramLock
{
    OtherProgramLock(const QString &file, const char *begin)
    {
        db.setDatabaseName(file);
        holds = db.open() && QSqlQuery(db).exec(QLatin1String(begin));
    }
    ~OtherProgramLock()
    {
        if (holds)
            QSqlQuery(db).exec(QStringLiteral("COMMIT"));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other program"));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", QStringLiteral("other program"));
    bool holds = false;
};

// Spoils the SQLite database as the data row names it: another program holds it ("locked", made
// first), a text file is in its place ("not SQLite") or its folder's ("folder"); else nothing.
bool Spoil(TestDatabase &db, const QByteArray &how, std::unique_ptr<OtherProgramLock> &other)
{
    if (how == "locked")
        return DatabaseAccessSQLite().GetOpenResult() == DB_OK &&
               (other = std::make_unique<OtherProgramLock>(db.File(), "BEGIN EXCLUSIVE"))->holds;
    const bool folder = how == "folder";
    QFile file(folder ? db.Env().DatabaseDirectory() : db.File());
    return (how != "not SQLite" && !folder) ||
           ((folder || QDir().mkpath(db.Env().DatabaseDirectory())) &&
            file.open(QIODevice::WriteOnly) && file.write("no database here\n") > 0);
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
        // In SQLite only stored forms count: braced lower-case UUID bytes, text times to seconds.
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
        if (db.IsServer())
            return;
        // Patient B is the monitor's pseudo-patient; values follow record i, half an hour apart.
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
        // An empty file, as a first start on a full disk leaves it, is a new database.
        QVERIFY(QDir().mkpath(db.Env().DatabaseDirectory()) &&
                QFile(db.File()).open(QIODevice::WriteOnly));
        const auto open = [] { return DatabaseAccessSQLite().GetOpenResult(); };
        const auto lose = [&] {
            return db.Sql("DROP TABLE TEMPData").isValid() &&
                   db.Sql("DROP INDEX NIBPTime_NIBPData").isValid();
        };
        QCOMPARE(open(), uint(DB_OK));
        // A lost table comes back empty, a lost time index too; the rows stay.
        QVERIFY(lose());
        QCOMPARE(open(), uint(DB_OK));
        QCOMPARE(db.Count("SELECT count(*) FROM sqlite_master WHERE name IN ('TEMPData', "
                          "'TEMP_TEMPData', 'TEMPTime_TEMPData', 'NIBPTime_NIBPData')"),
                 4);
        QCOMPARE(db.Count(kCount.arg("Patient")) + db.Count(kCount.arg("TEMPData")), 2);
        // Where the indexes cannot be added the file is opened all the same.
        QVERIFY(lose() && db.Sql("CREATE VIEW TEMPData AS SELECT 1").isValid());
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
        // Texts are cut to fit with their zero, never inside a surrogate pair.
        const QString clef = QString::fromUtf8("Zo\xC3\xAB \xF0\x9D\x84\x9E");
        SetRecordText(patient->DeviceSN, QString(40, QLatin1Char('S')));
        SetRecordText(patient->Doctor, QString(26, QLatin1Char('n')) + clef);
        SetRecordText(patient->IdentityCode, clef);
        SetRecordText(patient->Address, QString(255, QLatin1Char('a')));
        QCOMPARE(GetRecordText(patient->DeviceSN) + GetRecordText(patient->Doctor) + '|' +
                     GetRecordText(patient->IdentityCode),
                 QString(31, 'S') + QString(26, 'n') + "Zo\u00EB |" + clef);
        patient->Weight = 61.25f;
        patient->PatientType = 3;
        QCOMPARE(f.s.InsertNewPatient(patient.get()), uint(DB_OK));
        QVERIFY(patient->LastUpdateTime.isValid() && !patient->ReadFlag);
        auto read = Patient(QString(), patient->PatientID);
        QCOMPARE(f.s.GetPatientDetail(read.get()), uint(DB_OK));
        for (int column = 0; column < PatientRowCodec::ColumnCount; ++column)
            QCOMPARE(PatientRowCodec::ToDb(*read, column), PatientRowCodec::ToDb(*patient, column));
        const QString where = f.db.Where(read->PatientID);
        // Empty texts are stored as empty text, not NULL.
        QVERIFY(f.db.Sql("SELECT Mobile = '' FROM Patient" + where).toBool());

        // A stored UUID is refused and nothing changes; a null one too.
        auto again = Patient(QStringLiteral("Other"), patient->PatientID);
        QCOMPARE(f.s.InsertNewPatient(again.get()), uint(DB_ERR_PATIENT_EXISTS));
        QCOMPARE(f.db.Sql("SELECT Name FROM Patient" + where).toString(), "Ann");

        // The update leaves the device fields, the flag and the time alone.
        f.db.Sql("UPDATE Patient SET ReadFlag = 'true'" + where);
        SetRecordText(patient->Name, QStringLiteral("Ann B"));
        SetRecordText(patient->DeviceSN, QStringLiteral("changed"));
        QCOMPARE(f.s.UpdatePatient(patient.get()), uint(DB_OK));
        QCOMPARE(GetRecordText(patient->DeviceSN), "changed"); // no tail of the longer text
        auto brief = Patient(QString(), patient->PatientID);
        QCOMPARE(f.s.GetOnePatientBriefInfo(brief.get()), uint(DB_OK));
        QCOMPARE(GetRecordText(brief->Name) + '|' + GetRecordText(brief->DeviceSN),
                 "Ann B|" + QString(31, 'S'));
        QVERIFY(brief->ReadFlag);
        QCOMPARE(brief->LastUpdateTime, patient->LastUpdateTime);
    }
    void measurementsAreStoredOnceAndReadInOrder_data() { TestDatabase::AddKinds(); }
    void measurementsAreStoredOnceAndReadInOrder()
    {
        FETCH_DATABASE_KIND(kind);
        Fixture f(kind);
        auto patient = Patient(QStringLiteral("Dup"));
        QUuid &id = patient->PatientID;
        QCOMPARE(f.s.InsertNewPatient(patient.get()), uint(DB_OK));
        f.MarkOld(f.db.Where(id));
        // New records, one time twice: stored once each; the patient turns unread and newer.
        QCOMPARE(f.s.InsertNibpData(&id, Chain<STU_DB_NIBP_DATA_LIST>({0, 30, 30, 60}).get()),
                 uint(DB_OK));
        QCOMPARE(f.db.Count(kCount.arg("NIBPData") + f.db.Where(id)), 3);
        QCOMPARE(f.db.Count("SELECT ReadFlag FROM Patient" + f.db.Where(id)), 0);
        QVERIFY(f.db.Sql("SELECT LastUpdateTime FROM Patient" + f.db.Where(id)).toString() > kOld);
        // A time stored with milliseconds is the same second.
        const QString key = f.db.Key(id);
        QVERIFY(f.db.Sql("INSERT INTO NIBPData(PatientID, MeasureTime) VALUES(" + key +
                         ", '2026-03-01T09:30:00.000'), (" + key + ", '2026-03-01T09:40:00.250')")
                    .isValid());
        QCOMPARE(f.s.InsertNibpData(&id, Chain<STU_DB_NIBP_DATA_LIST>({90, 100}).get()),
                 uint(DB_OK));
        QCOMPARE(f.db.Count(kCount.arg("NIBPData") + f.db.Where(id)), 5);
        // A file's time may be anything, even a blob, which sorts after every text.
        if (!f.db.IsServer()) {
            const QString blob = "INSERT INTO NIBPData(PatientID, MeasureTime) VALUES(%1, X'01')";
            QVERIFY(f.db.Sql(blob.arg(key)).isValid());
            QCOMPARE(f.s.InsertNibpData(&id, Chain<STU_DB_NIBP_DATA_LIST>({60}).get()),
                     uint(DB_OK));
            QVERIFY(f.db.Sql("DELETE FROM NIBPData WHERE typeof(MeasureTime) = 'blob'").isValid());
            QCOMPARE(f.db.Count(kCount.arg("NIBPData") + f.db.Where(id)), 5);
        }

        QCOMPARE(f.s.InsertTempData(&id, nullptr), uint(DB_OK));
        QVERIFY(f.db.Env().LogText().contains("No TEMP data has been saved to database."));

        // Other writers may leave milliseconds (a server's timestamp column keeps whole seconds)
        // or a space for the T.
        QVERIFY(f.db.Sql("INSERT INTO TEMPData(PatientID, MeasureTime, TempValue) VALUES(" + key +
                         ", '2026-03-01T09:00:00.250', 36.5), (" + key +
                         ", '2026-03-01T08:30:00', 38.25), (" + key +
                         ", '2026-02-28 23:45:00', 37)")
                    .isValid());
        STU_DB_TEMP_DATA_LIST *temps = nullptr;
        QCOMPARE(f.s.GetTempDataList(&id, &temps), uint(DB_OK));
        RecordChainPtr<STU_DB_TEMP_DATA_LIST> owned(temps);
        QCOMPARE(RecordChainLength(temps), 3);
        QCOMPARE(temps->MeasureTime, At(-495));
        QCOMPARE(temps->pNext->MeasureTime, At(30));
        QCOMPARE(temps->pNext->TempValue, 38.25f);
        QCOMPARE(temps->pNext->pNext->MeasureTime, At(60).addMSecs(f.db.IsServer() ? 0 : 250));

        // The patient list comes oldest first.
        f.db.Sql("UPDATE Patient SET LastUpdateTime = '2030-01-01T00:00:00' WHERE IdInDevice = 1");
        f.MarkOld(" WHERE Name <> 'Dup' AND IdInDevice <> 1");
        STU_DB_PATIENT_LIST *brief = nullptr;
        QCOMPARE(f.s.GetAllPatientBrief(&brief), uint(DB_OK));
        RecordChainPtr<STU_DB_PATIENT_LIST> patients(brief);
        QCOMPARE(RecordChainLength(brief), 3);
        QCOMPARE(brief->IdInDevice, MONITOR_PSEUDO_PATIENT_ID);
        QCOMPARE(GetRecordText(brief->pNext->Name), QStringLiteral("Dup"));
        QCOMPARE(brief->pNext->pNext->LastUpdateTime, QDateTime(QDate(2030, 1, 1), QTime(0, 0)));

        // No records, or a failed reading: an empty result, even over junk in the pointer.
        QUuid other = QUuid::createUuid(), nil;
        STU_DB_SPO2_DATA_LIST *none = Junk<STU_DB_SPO2_DATA_LIST>();
        STU_DB_NIBP_DATA_LIST *failed = Junk<STU_DB_NIBP_DATA_LIST>();
        QCOMPARE(
            QList<uint>({f.s.GetSPO2DataList(&other, &none), f.s.GetNibpDataList(&nil, &failed)}),
            QList<uint>({DB_OK, DB_ERR_GET_NIBP}));
        QVERIFY(!none && !failed);
    }
    void patientsAreMergedDeletedAndSearched_data() { TestDatabase::AddKinds(); }
    void patientsAreMergedDeletedAndSearched()
    {
        FETCH_DATABASE_KIND(kind);
        Fixture f(kind);
        auto kept = Patient(QStringLiteral("Kept")), gone = Patient(QStringLiteral("Gone"));
        QUuid &a = kept->PatientID, &b = gone->PatientID;
        QCOMPARE(
            QList<uint>({f.s.InsertNewPatient(kept.get()), f.s.InsertNewPatient(gone.get()),
                         f.s.InsertNibpData(&a, Chain<STU_DB_NIBP_DATA_LIST>({0, 10}, 111).get()),
                         f.s.InsertNibpData(&b, Chain<STU_DB_NIBP_DATA_LIST>({10, 20}, 222).get()),
                         f.s.InsertTempData(&b, Chain<STU_DB_TEMP_DATA_LIST>({15}).get())}),
            QList<uint>(5, DB_OK));
        f.MarkOld(f.db.Where(a));

        // Moving TEMP records fails after the NIBP ones moved: the file stays, both patients whole.
        QVERIFY(f.db.RefuseInserts("TEMPData", true));
        const QString before = f.db.Snapshot();
        // Into himself or into a patient not stored would lose the records.
        QUuid stranger = QUuid::createUuid();
        QCOMPARE(QList<uint>({f.s.MergePatientData(&a, &b), f.s.MergePatientData(&b, &b),
                              f.s.MergePatientData(&stranger, &b)}),
                 QList<uint>(3, DB_ERR_MERGE));
        QCOMPARE(f.db.Snapshot(), before);

        // At the same time the remaining patient's record wins.
        QVERIFY(f.db.RefuseInserts("TEMPData", false));
        QCOMPARE(f.s.MergePatientData(&a, &b), uint(DB_OK));
        QStringList times;
        STU_DB_NIBP_DATA_LIST *merged = nullptr;
        QCOMPARE(f.s.GetNibpDataList(&a, &merged), uint(DB_OK));
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> owned(merged);
        for (auto *r = merged; r; r = r->pNext)
            times << r->MeasureTime.toString("MM-dd hh:mm=") + QString::number(r->SysValue);
        QCOMPARE(times.join(' '), "03-01 08:00=111 03-01 08:10=111 03-01 08:20=222");
        QCOMPARE(f.db.Count(kCount.arg("TEMPData") + f.db.Where(a)), 1);
        QCOMPARE(f.db.Count("SELECT ReadFlag FROM Patient" + f.db.Where(a)), 0);
        QVERIFY(f.db.Sql("SELECT LastUpdateTime FROM Patient" + f.db.Where(a)).toString() > kOld);

        // Deleting the remaining patient leaves nothing of either; the demo patients stay whole.
        QCOMPARE(f.s.DeletePatient(&a), uint(DB_OK));
        for (const char *table : {"Patient", "NIBPData", "SPO2Data", "TEMPData"})
            QCOMPARE(f.db.Count(kCount.arg(table)), table[0] == 'P' ? 2 : 400);
        QCOMPARE(f.s.DeletePatient(nullptr), uint(DB_ERR_DELETE_PATIENT));

        // The search for patients to merge, among the ones made next only.
        f.db.Sql("DELETE FROM Patient");
        auto base = Patient(QStringLiteral("Base"));
        // A value in every column: an empty one matches nobody.
        base->Height = base->Weight = 61.25f;
        base->Gender = base->IdentityType = base->PatientType = base->Age = 1;
        for (char16_t *text : {base->DeviceSN, base->Mobile, base->Doctor, base->IdentityCode,
                               base->SocietyCode, base->Address})
            text[0] = u'v';
        QCOMPARE(f.s.InsertNewPatient(base.get()), uint(DB_OK));
        STU_DB_PATIENT_LIST twin = *base;
        twin.PatientID = QUuid::createUuid();
        QCOMPARE(f.s.InsertNewPatient(&twin), uint(DB_OK));
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
            QCOMPARE(f.s.InsertNewPatient(&p), uint(DB_OK));
            differing.append(p.PatientID);
        }
        auto search = [&](uint bits) {
            STU_DB_PATIENT_LIST *result = Junk<STU_DB_PATIENT_LIST>();
            QSet<QUuid> found;
            if (f.s.SearchPatientToMerge(bits, base.get(), &result) != DB_OK)
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
    void mergeKeepsDetailsAndLaterImportsGoToTheRemainingPatient_data()
    {
        TestDatabase::AddKinds();
    }
    void mergeKeepsDetailsAndLaterImportsGoToTheRemainingPatient()
    {
        FETCH_DATABASE_KIND(kind);
        Fixture f(kind);
        auto kept = Patient(QStringLiteral("Kept")), gone = Patient(QString()),
             older = Patient(QStringLiteral("Older"));
        kept->Height = 170.0f;
        gone->Height = 160.0f;
        gone->Weight = 62.5f;
        gone->Gender = 2;
        SetRecordText(gone->Mobile, QStringLiteral("555"));
        QUuid &a = kept->PatientID, &b = gone->PatientID, &c = older->PatientID;
        // An import of the monitor's patients b and c, each with the records at these minutes.
        const auto import = [&](const QList<int> &bMinutes, const QList<int> &cMinutes) {
            return QList<uint>(
                {f.s.InsertNewPatient(gone.get()),
                 f.s.InsertNibpData(&b, Chain<STU_DB_NIBP_DATA_LIST>(bMinutes).get()),
                 f.s.InsertNewPatient(older.get()),
                 f.s.InsertNibpData(&c, Chain<STU_DB_NIBP_DATA_LIST>(cMinutes).get())});
        };
        QCOMPARE(f.s.InsertNewPatient(kept.get()), uint(DB_OK));
        QCOMPARE(f.s.InsertSPO2Data(&a, Chain<STU_DB_SPO2_DATA_LIST>({0}).get()), uint(DB_OK));
        QCOMPARE(import({0, 10}, {20}), QList<uint>(4, DB_OK));
        // c into b, then b into a: c's alias is carried over to a.
        QCOMPARE(QList<uint>({f.s.MergePatientData(&b, &c), f.s.MergePatientData(&a, &b)}),
                 QList<uint>(2, DB_OK));
        auto read = Patient(QString(), a);
        QCOMPARE(f.s.GetPatientDetail(read.get()), uint(DB_OK));
        QCOMPARE(GetRecordText(read->Name) + '|' + GetRecordText(read->Mobile) + '|' +
                     QString::number(read->Height) + '|' + QString::number(read->Weight) + '|' +
                     QString::number(read->Gender),
                 "Kept|555|170|62.5|2");
        // Imported again with more records: no new patient, nothing doubled, a holds the union.
        QCOMPARE(import({0, 10, 30}, {20, 40}),
                 QList<uint>({DB_ERR_PATIENT_EXISTS, DB_OK, DB_ERR_PATIENT_EXISTS, DB_OK}));
        QCOMPARE(f.db.Count(kCount.arg("Patient")), 3);
        QCOMPARE(f.db.Count(kCount.arg("NIBPData") + f.db.Where(a)), 5);
        // The brief records count each kind and give the newest time, a merged UUID answering
        // for the remaining patient.
        auto brief = Patient(QString(), c);
        QCOMPARE(f.s.GetOnePatientBriefInfo(brief.get()), uint(DB_OK));
        STU_DB_PATIENT_LIST *all = nullptr;
        QCOMPARE(f.s.GetAllPatientBrief(&all), uint(DB_OK));
        RecordChainPtr<STU_DB_PATIENT_LIST> owned(all);
        QList<const STU_DB_PATIENT_LIST *> briefs = {brief.get()};
        for (const STU_DB_PATIENT_LIST *p = all; p; p = p->pNext)
            briefs << p;
        for (const STU_DB_PATIENT_LIST *p : briefs) {
            const bool demo = p->PatientID != a;
            QCOMPARE(QList<quint32>({p->NIBPCount, p->SPO2Count, p->TEMPCount}),
                     demo ? QList<quint32>(3, 200) : QList<quint32>({5, 1, 0}));
            QCOMPARE(p->NewestMeasureTime.isValid(), true);
            if (!demo)
                QCOMPARE(p->NewestMeasureTime, At(40));
        }
        // Deleting the remaining patient deletes the aliases too.
        QCOMPARE(f.s.DeletePatient(&a), uint(DB_OK));
        QCOMPARE(f.db.Count(kCount.arg("PatientAlias")), 0);
    }
    void olderDatabaseGainsAliasAndTallyAndTheTallyFollowsEveryWriter_data()
    {
        TestDatabase::AddKinds();
    }
    void olderDatabaseGainsAliasAndTallyAndTheTallyFollowsEveryWriter()
    {
        FETCH_DATABASE_KIND(kind);
        TestDatabase db(kind);
        const auto tally = [&db](const QString &sql = QString()) {
            if (!sql.isEmpty() && !db.Sql(sql).isValid())
                return QString("failed: " + sql);
            const auto store =
                NewStore(db.IsServer() ? TestDatabase::PostgreSQL : TestDatabase::SQLite);
            STU_DB_PATIENT_LIST *all = nullptr;
            const uint read = store->GetAllPatientBrief(&all);
            RecordChainPtr<STU_DB_PATIENT_LIST> owned(all);
            QString text = QString::number(read);
            for (const STU_DB_PATIENT_LIST *p = all; p; p = p->pNext)
                text += QStringLiteral(" %1:%2,%3,%4,%5")
                            .arg(p->PatientID.toString())
                            .arg(p->NIBPCount)
                            .arg(p->SPO2Count)
                            .arg(p->TEMPCount)
                            .arg(p->NewestMeasureTime.toString(Qt::ISODate));
            return text;
        };
        const QString demo = tally();
        QVERIFY(demo.contains(":200,200,200,20"));
        QVERIFY(db.Sql("DROP TABLE PatientAlias").isValid());
        QVERIFY(db.Sql("DROP TABLE PatientTally").isValid());
        const QString before = db.Snapshot();
        // Reopened, the file gains both tables and nothing else changes; the tally is counted.
        QCOMPARE(tally(), demo);
        QCOMPARE(db.Snapshot(), before);
        QVERIFY(db.Sql(kCount.arg("PatientAlias")).isValid());
        // Another writer's records are counted too, and their removal forgets their time.
        STU_DB_PATIENT_LIST *all = nullptr;
        QCOMPARE(NewStore(kind)->GetAllPatientBrief(&all), uint(DB_OK));
        const QUuid first = RecordChainPtr<STU_DB_PATIENT_LIST>(all)->PatientID;
        const QString added = tally("INSERT INTO NIBPData (PatientID, MeasureTime) VALUES (" +
                                    db.Key(first) + ", '2031-05-06T07:08:09')");
        QVERIFY2(added.contains(first.toString() + ":201,200,200,2031-05-06T07:08:09"),
                 qPrintable(added));
        QCOMPARE(tally("DELETE FROM NIBPData WHERE MeasureTime > '2031-01-01'"), demo);
        QVERIFY(tally("DELETE FROM Patient" + db.Where(first)) != demo);
        QCOMPARE(db.Count(kCount.arg("PatientTally")), db.Count(kCount.arg("Patient")));
    }
    void readOnlyDatabaseFailsAndKeepsFile()
    {
        TestDatabase env;
        DatabaseAccessSQLite s;
        STU_DB_PATIENT_LIST *brief = nullptr;
        QCOMPARE(s.GetAllPatientBrief(&brief), uint(DB_OK));
        RecordChainPtr<STU_DB_PATIENT_LIST> demo(brief);
        QUuid &a = brief->PatientID, &b = brief->pNext->PatientID;
        QSqlDatabase db = QSqlDatabase::database(DatabaseAccessSQLite::ConnectionName(), false);
        db.close();
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QVERIFY(db.open());
        const QByteArray before = Bytes(env.File());

        auto fresh = Patient(QStringLiteral("New"));
        auto nibp = Chain<STU_DB_NIBP_DATA_LIST>({1});
        STU_DB_SPO2_DATA_LIST spo2;
        STU_DB_TEMP_DATA_LIST temp;
        STU_DB_PATIENT_LIST *all = nullptr, *found = nullptr;
        STU_DB_NIBP_DATA_LIST *nibps = nullptr;
        STU_DB_SPO2_DATA_LIST *spo2s = nullptr;
        STU_DB_TEMP_DATA_LIST *temps = nullptr;
        // Writes first: the reads after them succeeding shows every transaction was ended.
        const auto writes = QList<uint>(
            {s.InsertNewPatient(fresh.get()), s.UpdatePatient(brief),
             s.InsertNibpData(&a, nibp.get()), s.InsertSPO2Data(&a, &spo2),
             s.InsertTempData(&a, &temp), s.MergePatientData(&a, &b), s.UpdateLastImportTime(&a),
             s.UpdateBrowserFlag(&a, true), s.DeletePatient(&a), s.CreateTables(),
             s.InitializeTables(), s.InsertDemoData()});
        const auto reads =
            QList<uint>({s.SelfCheck(), s.GetAllPatientBrief(&all), s.GetPatientDetail(brief),
                         s.GetOnePatientBriefInfo(brief), s.GetNibpDataList(&a, &nibps),
                         s.GetSPO2DataList(&a, &spo2s), s.GetTempDataList(&a, &temps),
                         s.SearchPatientToMerge(4, brief, &found)});
        RecordChainPtr<STU_DB_PATIENT_LIST> allChain(all), foundChain(found);
        RecordChainPtr<STU_DB_NIBP_DATA_LIST> nibpChain(nibps);
        RecordChainPtr<STU_DB_SPO2_DATA_LIST> spo2Chain(spo2s);
        RecordChainPtr<STU_DB_TEMP_DATA_LIST> tempChain(temps);
        QCOMPARE(writes, QList<uint>({DB_ERR_INSERT_PATIENT, DB_ERR_UPDATE_PATIENT,
                                      DB_ERR_INSERT_NIBP, DB_ERR_INSERT_SPO2, DB_ERR_INSERT_TEMP,
                                      DB_ERR_MERGE, DB_ERR_UPDATE_LAST_IMPORT_TIME,
                                      DB_ERR_UPDATE_BROWSER_FLAG, DB_ERR_DELETE_PATIENT,
                                      DB_ERR_CREATE_TABLES, DB_ERR_CREATE_TABLES, DB_OK}));
        QCOMPARE(reads, QList<uint>(8, DB_OK));
        QCOMPARE(Bytes(env.File()), before);
        QVERIFY(env.Env().LogText().contains("Insert NIBP data to database failed!"));
    }
    void unusableFileIsToldAndLeftAlone_data()
    {
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("not SQLite") << uint(DB_ERR_OPEN)
                                    << "The file \"%1\" is not a patient database: it is no SQLite "
                                       "database file. It has been left as it is.";
        QTest::newRow("locked") << uint(DB_ERR_OPEN)
                                << "The patient database \"%1\" is locked by another program. It "
                                   "has been left as it is; close the other program, then start "
                                   "this one again.";
        QTest::newRow("folder") << uint(DB_ERR_DRIVER_OR_PATH)
                                << "The patient database \"%1\" cannot be opened: its folder "
                                   "cannot be created.";
        QTest::newRow("new file, disk full")
            << uint(DB_ERR_CREATE_TABLES)
            << "The patient database \"%1\" cannot be created: its tables could not be written (is "
               "the disk full?). The unfinished file has been removed again.";
    }
    void unusableFileIsToldAndLeftAlone()
    {
        QFETCH(uint, code);
        QFETCH(QString, text);
        const QByteArray situation = QTest::currentDataTag();
        TestDatabase env;
        std::unique_ptr<OtherProgramLock> other;
        QVERIFY(Spoil(env, situation, other));
        const QByteArray before = Bytes(env.File());
        auto limit =
            situation.endsWith("disk full") ? std::make_unique<FileSizeLimit>(1024) : nullptr;
        DatabaseAccessSQLite store;
        limit.reset();
        QCOMPARE(store.GetOpenResult(), code);
        QCOMPARE(store.GetOpenProblem(), text.arg(env.File()));
        QCOMPARE(QFile::exists(env.File()), situation == "not SQLite" || situation == "locked");
        QCOMPARE(Bytes(env.File()), before);
        QVERIFY(!QFile::exists(env.File() + "-journal"));
        // Every later operation fails at once; a failed reading nulls the junk result pointer.
        STU_DB_PATIENT_LIST *patients = Junk<STU_DB_PATIENT_LIST>();
        QCOMPARE(store.GetAllPatientBrief(&patients), uint(DB_ERR_GET_ALL_PATIENT_BRIEF));
        QVERIFY(!patients);
    }
    void serverAddressIsRead()
    {
        // What is read: host|port|user|database|options, or the problem.
        const QString cases[][2] = {
            {"postgresql://clinic@/vantrel?host=/run/postgresql",
             "/run/postgresql|-1|clinic|vantrel|"},
            {"postgres://ward%20pc@db.clinic:6543/pat%2Fdb", "db.clinic|6543|ward pc|pat/db|"},
            {"postgresql://h/v?password=secret",
             "it holds a password, which the settings file must not keep"},
            {"postgresql://h", "it names no database"},
            {"postgresql://h:x/v", "the port \"x\" is no port number"}};
        for (const auto &c : cases) {
            QVERIFY(DatabaseServerAddress::IsServerUri(c[0]));
            const DatabaseServerAddress a = DatabaseServerAddress::Parse(c[0]);
            QCOMPARE(a.Problem().isEmpty()
                         ? QStringList({a.Host(), QString::number(a.Port()), a.User(), a.Database(),
                                        a.ConnectOptions()})
                               .join('|')
                         : a.Problem(),
                     c[1]);
        }
        QVERIFY(!DatabaseServerAddress::IsServerUri("/home/clinic/postgresql://"));
        // A password in the setting is neither used nor repeated.
        TestEnvironment env(true, "postgresql://vantrel:secret@/vantrel_test?host=/tmp");
        DatabaseAccessPostgreSQL refused;
        QCOMPARE(refused.GetOpenResult(), uint(DB_ERR_DRIVER_OR_PATH));
        QVERIFY(
            refused.GetOpenProblem().startsWith("The patient database setting holds a password."));
        QVERIFY(!env.LogText().contains("secret"));
    }
    void patientStoredElsewhereMeanwhileExists()
    {
        POSTGRES_OR_SKIP();
        TestDatabase db(TestDatabase::PostgreSQL, false);
        // A patient stored elsewhere between check and insert exists: the insert awaits its commit.
        DatabaseAccessPostgreSQL store;
        auto patient = Patient(QStringLiteral("Meanwhile"));
        std::atomic<bool> begun{false};
        std::thread other([&] {
            {
                QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "meanwhile");
                TestDatabase::ConfigureServer(c);
                begun = c.open() && c.transaction() &&
                        QSqlQuery(c).exec("INSERT INTO Patient(PatientID) VALUES(" +
                                          db.Key(patient->PatientID) + ")");
                QSqlQuery waiting(c);
                for (int i = 0; begun && i < 500 &&
                                waiting.exec("SELECT count(*) FROM pg_locks WHERE NOT granted") &&
                                waiting.next() && waiting.value(0).toInt() == 0;
                     ++i)
                    QThread::msleep(10);
                c.commit();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("meanwhile"));
        });
        const bool waited = QTest::qWaitFor([&] { return begun.load(); }, 5000);
        const uint code = waited ? store.InsertNewPatient(patient.get()) : uint(DB_OK);
        other.join();
        QVERIFY(waited);
        QCOMPARE(code, uint(DB_ERR_PATIENT_EXISTS));
    }
    void serverUnreachableOrLostFailsAndNextWorkCompletes()
    {
        POSTGRES_OR_SKIP();
        TestDatabase db(TestDatabase::PostgreSQL);
        QVERIFY(TestDatabase::SetServerRunning(false));
        DatabaseAccessPostgreSQL store;
        const bool started = TestDatabase::SetServerRunning(true);
        QCOMPARE(store.GetOpenResult(), uint(DB_ERR_OPEN));
        // The server and the cause are named.
        const QRegularExpression told(
            "^The patient database \"vantrel_test\" on the server /tmp/vm-pg-\\w+:5432 cannot be "
            "reached \\(connection to server on socket .+\\)\\.$");
        QVERIFY2(told.match(store.GetOpenProblem()).hasMatch(), qPrintable(store.GetOpenProblem()));
        QVERIFY(db.Env().LogText().contains(":5432, database vantrel_test: cannot connect ("));
        QVERIFY(started);
        // The import connects and builds the missing schema (the demo patients are counted below).
        const QUuid monitor[] = {QUuid::createUuid(), QUuid::createUuid(), QUuid::createUuid()};
        // Patients in the monitor's answer order; the server goes away after the first one's NIBP.
        auto import = [&](bool lose) {
            QList<uint> codes;
            for (QUuid id : monitor) {
                codes << store.InsertNewPatient(Patient(QString(), id).get())
                      << store.InsertNibpData(&id, Records<STU_DB_NIBP_DATA_LIST>(50).get());
                if (lose && codes.size() == 2)
                    TestDatabase::SetServerRunning(false);
                codes << store.InsertSPO2Data(&id, Records<STU_DB_SPO2_DATA_LIST>(50).get())
                      << store.InsertTempData(&id, Records<STU_DB_TEMP_DATA_LIST>(50).get());
            }
            return codes;
        };
        const QList<uint> lost = import(true);
        const bool restarted = TestDatabase::SetServerRunning(true);
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

// Stands in for the GUI: posts work items to the service's thread, notes and frees each answer.
class ServiceClient : public QObject
{
public:
    explicit ServiceClient(MDatabaseService *s) : m_service(s)
    {
        using S = MDatabaseService;
        On(&S::OnImportRunCounted, "counted", &S::OnImportRunStored, "run",
           &S::OnDatabaseProcessResult, "result", &S::OnDatabaseGetAllPatientBriefSucc, "all",
           &S::OnDatabaseGetOnePatientDetailSucc, "detail",
           &S::OnDatabaseUpdateOnePatientDetailInfoSucc, "updated",
           &S::OnDatabaseGetNIBPDataListSucc, "nibp", &S::OnDatabaseGetSPO2DataListSucc, "spo2",
           &S::OnDatabaseGetTEMPDataListSucc, "temp", &S::OnDatabaseDeletePatientSucc, "deleted",
           &S::OnDatabaseInsertNewPatientSucc, "inserted", &S::OnSearchPatientToMergeSucc,
           "candidates", &S::OnMergePatientDataSucc, "merged", &S::OnDatabaseUpdateBrowserFlagSucc,
           "flag", &S::OnDatabaseGetOnePatientBriefSucc, "brief", &S::OnImportPatientDataFinished,
           "finished", &S::OnDatabaseOpenResult, "opened", &S::OnDatabaseChangedElsewhere,
           "changed elsewhere", &S::OnPatientChangedElsewhere, "patient changed elsewhere");
    }

    // Calls the service in its thread, after everything posted before.
    template <typename... Args> void Call(void (MDatabaseService::*slot)(Args...), Args... args)
    {
        QMetaObject::invokeMethod(m_service, std::bind(slot, m_service, args...),
                                  Qt::QueuedConnection);
    }
    // Posts a work item and notes the answers it is to bring, '|' between them.
    void Post(uint type, quintptr wParam, quintptr lParam, const QString &answers = QString())
    {
        Call(&MDatabaseService::ProcessDatabaseTaskProc, type, wParam, lParam);
        Expect(answers);
    }
    void Expect(const QString &answers) { m_expected << answers.split('|', Qt::SkipEmptyParts); }

    // Waits for the answers expected; empty if only they came, else what came and what was due.
    QString Missed()
    {
        if (QTest::qWaitFor([&] { return m_events.size() >= m_expected.size(); }, 10000))
            QTest::qWait(20); // nothing beyond what was expected may follow
        const QString got = std::exchange(m_events, {}).join('\n');
        const QString want = std::exchange(m_expected, {}).join('\n');
        return got == want ? QString() : got + QStringLiteral("\n-- expected:\n") + want;
    }

    QMap<QUuid, QString> names; // short names for the patients' UUIDs

private:
    template <typename... Args, typename... More>
    void On(void (MDatabaseService::*signal)(Args...), const char *what, More... more)
    {
        const auto note = [this, what](Args... args) {
            m_events.append(QStringList({what, Describe(args)...}).join(QLatin1Char(' ')));
        };
        connect(m_service, signal, this, note, Qt::QueuedConnection);
        if constexpr (sizeof...(More) > 0)
            On(more...);
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
        if constexpr (std::is_same_v<Record, STU_DB_PATIENT_LIST>)
            if (chain && !chain->pNext)
                text = GetRecordText(chain->Name) + " read=" + QString::number(chain->ReadFlag);
        FreeRecordChain(chain);
        return text;
    }

    MDatabaseService *m_service;
    QStringList m_events;
    QStringList m_expected;
};

// Checks that the client heard what was expected of it, and nothing more.
#define HEARD(c) QCOMPARE((c).Missed(), QString())

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
        HEARD(c); // the demo data is written
        const QUuid ann = QUuid::createUuid(), bob = QUuid::createUuid();
        c.names = {{ann, "ann"}, {bob, "bob"}};
        // A write posted so starts while another program writes, goes through once it lets go.
        const auto locked = [&](uint type, quintptr wParam, quintptr lParam, const char *answers) {
            OtherProgramLock other(m_db->File(), "BEGIN IMMEDIATE");
            QVERIFY(other.holds);
            c.Post(type, wParam, lParam, answers);
            QTest::qWait(300);
        };
        // An import of two patients, then the views asking for them.
        locked(DB_WORK_INSERT_NEW_PATIENT, NewPatient(ann, "Ann"), 0, "inserted Ann read=0");
        locked(DB_WORK_INSERT_NIBP_DATA, NewId(ann), NewChain<STU_DB_NIBP_DATA_LIST>(3), "");
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
        locked(DB_WORK_UPDATE_PATIENT, NewPatient(ann, "Ann Edited"), 0,
               "updated Ann Edited read=0");
        c.Post(DB_WORK_GET_ONE_PATIENT_DETAIL, NewPatient(ann), 0, "detail Ann Edited read=1");
        c.Post(DB_WORK_GET_ONE_PATIENT_BRIEF, NewPatient(ann), 0, "brief Ann Edited read=1");
        locked(DB_WORK_UPDATE_BROWSER_FLAG, NewId(ann), 0, "flag ann");
        c.Post(DB_WORK_GET_ONE_PATIENT_BRIEF, NewPatient(ann), 0, "brief Ann Edited read=0");
        c.Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, MERGE_KEY_DEVICE_SN, NewPatient(ann),
               "candidates Ann read=0"); // bob, under the name of his first insert
        locked(DB_WORK_MERGE_PATIENT_DATA, NewId(ann), NewId(bob), "merged ann bob");
        c.Post(DB_WORK_GET_NIBP_DATA, NewId(ann), 0, "nibp ann 5");
        locked(DB_WORK_DELETE_PATIENT, NewId(ann), 0, "deleted ann");
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
        // Missing parameters answer 18; what was given is freed (the sanitizers watch this).
        for (uint type : {1, 2, 3, 5, 6, 7, 8, 9, 10, 12, 13, 14, 15, 16})
            c.Post(type, 0, 0, QStringLiteral("result %1 18").arg(type));
        c.Post(DB_WORK_INSERT_NIBP_DATA, NewId(nobody), 0, "result 5 18");
        c.Post(DB_WORK_INSERT_TEMP_DATA, 0, NewChain<STU_DB_TEMP_DATA_LIST>(2), "result 7 18");
        c.Post(DB_WORK_GET_NIBP_DATA, NewId(), 0, "result 6 18");
        c.Post(DB_WORK_GET_SPO2_DATA, NewId(), 0, "result 10 18");
        c.Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, 0, NewPatient(nobody), "result 13 18");
        c.Post(DB_WORK_MERGE_PATIENT_DATA, NewId(nobody), 0, "result 14 18");
        // Store failures: the import still hears the patient finished, the merge dialog the search
        // and merge over; the run's tally counts what was lost (one stored before is no loss).
        c.Call(&MDatabaseService::BeginImportRun, 7u);
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
        c.Call(&MDatabaseService::EndImportRun, 7u);
        c.Call(&MDatabaseService::EndImportRun, 8u); // not the counted run
        c.Expect("counted 7 1 0 0|run 7 1 4|counted 8 0 0 0|run 8 0 0");
        HEARD(c);
    }
    void importRunsShareTransactionsAndAreCounted()
    {
        ServiceClient &c = StartService();
        HEARD(c);
        // A failing item among those sharing a transaction fails alone.
        QVERIFY(m_db->RefuseInserts("TEMPData", true));
        const QUuid ann = QUuid::createUuid();
        c.names = {{ann, "ann"}};
        const auto import = [&](uint run, const QString &answers) {
            c.Call(&MDatabaseService::BeginImportRun, run);
            c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(ann, "Ann"), 0);
            c.Post(DB_WORK_INSERT_NIBP_DATA, NewId(ann), NewChain<STU_DB_NIBP_DATA_LIST>(3));
            c.Post(DB_WORK_INSERT_SPO2_DATA, NewId(ann), NewChain<STU_DB_SPO2_DATA_LIST>(2));
            c.Post(DB_WORK_INSERT_TEMP_DATA, NewId(ann), NewChain<STU_DB_TEMP_DATA_LIST>(2));
            c.Call(&MDatabaseService::EndImportRun, run);
            c.Expect(answers);
        };
        import(1, "inserted Ann read=0|finished ann|result 7 15|counted 1 1 5 0|run 1 0 2");
        HEARD(c);
        QCOMPARE(m_db->Count(kCount.arg("NIBPData") + m_db->Where(ann)) +
                     m_db->Count(kCount.arg("SPO2Data") + m_db->Where(ann)),
                 5);
        // The same records again: only the ones not stored before are new.
        QVERIFY(m_db->RefuseInserts("TEMPData", false));
        import(2, "result 1 19|finished ann|counted 2 0 2 5|run 2 0 0");
        HEARD(c);
    }
    void startUpOpensOffTheWindowThread_data()
    {
        QTest::addColumn<QString>("answers");
        // A database another program holds for the first second: it is waited for.
        QTest::newRow("locked") << "opened 0 \"\"|all 2";
        QTest::newRow("not SQLite")
            << "opened 4 \"The file \"%1\" is not a patient database: it is "
               "no SQLite database file. It has been left as it is.\"|result 4 9";
    }
    void startUpOpensOffTheWindowThread()
    {
        QFETCH(QString, answers);
        std::unique_ptr<OtherProgramLock> other;
        QVERIFY(Spoil(*m_db, QTest::currentDataTag(), other));
        // The open result, then the list's answer.
        StartService(answers.replace(QStringLiteral("%1"), m_db->File()))
            .Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0);
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
        QUuid ann = QUuid::createUuid();
        c.names = {{ann, "ann"}};
        c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, "all 2");
        // Its own changes are not news to it.
        c.Post(DB_WORK_INSERT_NEW_PATIENT, NewPatient(ann, "Ann"), 0, "inserted Ann read=0");
        c.Post(DB_WORK_UPDATE_BROWSER_FLAG, NewId(ann), 1, "flag ann");
        HEARD(c);
        QTest::qWait(500);
        HEARD(c);
        // Another workstation's change is told at once, as one for several.
        const QDeadlineTimer soon(2000);
        {
            // Another workstation marking one patient read names him: no list reload.
            DatabaseAccessPostgreSQL other(QStringLiteral("other workstation"));
            QCOMPARE(other.UpdateBrowserFlag(&ann, false), uint(DB_OK));
            c.Expect("patient changed elsewhere ann");
            HEARD(c);
            QUuid nobody = QUuid::createUuid();
            QCOMPARE(QList<uint>({other.DeletePatient(&ann), other.DeletePatient(&nobody)}),
                     QList<uint>(2, DB_OK));
        }
        c.Expect("changed elsewhere");
        HEARD(c);
        QVERIFY(!soon.hasExpired());
        // Changes while the server was unreachable were never told: the list is read on reconnect.
        // Qt's driver goes on watching the lost connection's closed socket.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^QSocketNotifier: Invalid socket"));
        QVERIFY(TestDatabase::SetServerRunning(false));
        c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, "result 4 9");
        const bool restarted = TestDatabase::SetServerRunning(true);
        c.Post(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0, "all 2|changed elsewhere");
        HEARD(c);
        QVERIFY(restarted);
        // And it listens again.
        QCOMPARE(DatabaseAccessPostgreSQL(QStringLiteral("other workstation"))
                     .InsertNewPatient(Patient(QStringLiteral("Bob")).get()),
                 uint(DB_OK));
        c.Expect("changed elsewhere");
        HEARD(c);
    }

private:
    // Work item parameters, made as the GUI side makes them.
    static quintptr NewId(const QUuid &id = QUuid()) { return quintptr(new QUuid(id)); }
    static quintptr NewPatient(const QUuid &id, const QString &name = QString())
    {
        auto patient = Patient(name, id);
        SetRecordText(patient->DeviceSN, QStringLiteral("SN"));
        return quintptr(patient.release());
    }
    template <typename Record> static quintptr NewChain(int count)
    {
        return quintptr(Records<Record>(count).release());
    }
    // Starts the service; the client, listening before the start, expects the open result first.
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

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    DatabaseAccessTest access;
    DatabaseServiceTest service;
    return QTest::qExec(&access, argc, argv) | QTest::qExec(&service, argc, argv);
}
#include "tst_database.moc"

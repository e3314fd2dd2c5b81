#include "DatabaseAccessSQLite.h"

#include "DatabaseStatements.h"
#include "DatabaseTransaction.h"
#include "DatabaseValueCodec.h"
#include "MLog.h"
#include "MSettings.h"
#include "MergeKeys.h"
#include "PatientRowCodec.h"
#include "RecordChainPtr.h"
#include "SqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <initializer_list>
#include <iterator>

namespace {

using Codec = PatientRowCodec;

const char *const kDriverName = "QSQLITE";
const char *const kConnectionName = "MyDBConnection";
const char *const kFileName = "Data.db";
const char *const kPassword = "vorpa";
const char *const kHostName = "vorpa";

constexpr int kDemoRecordCount = 200;
constexpr int kDemoRecordSpacingSecs = 1800;
constexpr int kDemoDays = 7;

// Data tables: 0 ID, 1 PatientID, 2 MeasureTime, then the values.
constexpr int kDataColID = 0;
constexpr int kDataColMeasureTime = 2;
constexpr int kDataColFirstValue = 3;

// Copies the given table columns of a "SELECT *" row into the record.
void ReadPatientColumns(const QSqlQuery &query, STU_DB_PATIENT_LIST &patient,
                        std::initializer_list<int> columns)
{
    for (int column : columns)
        Codec::FromDb(patient, column, query.value(column));
}

void ReadCompletePatient(const QSqlQuery &query, STU_DB_PATIENT_LIST &patient)
{
    for (int column = Codec::ColPatientID; column < Codec::ColumnCount; ++column)
        Codec::FromDb(patient, column, query.value(column));
}

void BindPatientColumns(QSqlQuery &query, const STU_DB_PATIENT_LIST &patient, int first, int last)
{
    for (int column = first; column <= last; ++column)
        query.bindValue(Codec::Placeholder(column), Codec::ToDb(patient, column));
}

QSqlQuery MakeQuery(QSqlDatabase &db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    return query;
}

bool ExecWithId(QSqlQuery &query, const char *sql, const char *placeholder, const QByteArray &key)
{
    if (!query.prepare(QLatin1String(sql)))
        return false;
    query.bindValue(QLatin1String(placeholder), key);
    return query.exec();
}

// After the last next(): whether the rows ended rather than broke off. Also
// finishes the query so that the transaction can end.
bool RowsReadCompletely(QSqlQuery &query)
{
    const bool complete = !query.lastError().isValid();
    query.finish();
    return complete;
}

// The four DELETE statements, inside the caller's transaction.
bool DeletePatientRows(QSqlDatabase &db, const QByteArray &key)
{
    for (const char *sql :
         {kSqlDeletePatient, kSqlDeleteNibpData, kSqlDeleteSpo2Data, kSqlDeleteTempData}) {
        QSqlQuery query = MakeQuery(db);
        if (!ExecWithId(query, sql, ":id", key))
            return false;
    }
    return true;
}

bool UpdateLastUpdateTimeRow(QSqlDatabase &db, const QByteArray &key, const QDateTime &time)
{
    QSqlQuery query = MakeQuery(db);
    if (!query.prepare(QLatin1String(kSqlUpdateLastImportTime)))
        return false;
    query.bindValue(QStringLiteral(":LastUpdateTime"), DatabaseValueCodec::DateTimeToDb(time));
    query.bindValue(QStringLiteral(":id"), key);
    return query.exec();
}

bool UpdateReadFlagRow(QSqlDatabase &db, const QByteArray &key, bool read)
{
    QSqlQuery query = MakeQuery(db);
    if (!query.prepare(QLatin1String(kSqlUpdateReadFlag)))
        return false;
    query.bindValue(QStringLiteral(":ReadFlag"), read);
    query.bindValue(QStringLiteral(":id"), key);
    return query.exec();
}

// New measurements make the patient unread and move his last update to now.
bool MarkPatientUpdated(QSqlDatabase &db, const QByteArray &key)
{
    const bool timeOk = UpdateLastUpdateTimeRow(db, key, DatabaseValueCodec::CurrentDateTime());
    const bool flagOk = UpdateReadFlagRow(db, key, false);
    return timeOk && flagOk;
}

bool PatientRowExists(QSqlDatabase &db, const QByteArray &key)
{
    QSqlQuery query = MakeQuery(db);
    return ExecWithId(query, kSqlSelectPatientById, ":id", key) && query.next();
}

// What differs between the three measurement tables.
template <typename Record> struct MeasureTable;

template <> struct MeasureTable<STU_DB_NIBP_DATA_LIST>
{
    static constexpr const char *kCheck = kSqlSelectNibpAtTime;
    static constexpr const char *kInsert = kSqlInsertNibp;
    static constexpr const char *kSelect = kSqlSelectNibpList;
    static constexpr uint kInsertCode = DB_ERR_INSERT_NIBP;
    static constexpr const char *kInsertNullGuid =
        "Insert new NIBP data that patient guid is null.";
    static constexpr const char *kInsertFailed = "Insert NIBP data to database failed!";
    static constexpr const char *kNoData = "No nibp data has been saved to database.";
    static constexpr uint kGetCode = DB_ERR_GET_NIBP;
    static constexpr const char *kGetNullGuid = "GetNibpDataList that GUID is null.";
    static constexpr const char *kGetFailed = "Get NIBP Data failed.";

    // The values follow :PatientID and :MeasureTime in the insert.
    static bool BindValues(SqliteStatement &insert, const STU_DB_NIBP_DATA_LIST &record)
    {
        return insert.Bind(2, static_cast<int>(record.SysValue)) &&
               insert.Bind(3, static_cast<int>(record.DiaValue)) &&
               insert.Bind(4, static_cast<int>(record.MeanValue)) &&
               insert.Bind(5, static_cast<int>(record.PrValue));
    }
    static void ReadValues(const QSqlQuery &query, STU_DB_NIBP_DATA_LIST &record)
    {
        record.SysValue = static_cast<quint16>(query.value(kDataColFirstValue).toUInt());
        record.DiaValue = static_cast<quint16>(query.value(kDataColFirstValue + 1).toUInt());
        record.MeanValue = static_cast<quint16>(query.value(kDataColFirstValue + 2).toUInt());
        record.PrValue = static_cast<quint16>(query.value(kDataColFirstValue + 3).toUInt());
    }
};

template <> struct MeasureTable<STU_DB_SPO2_DATA_LIST>
{
    static constexpr const char *kCheck = kSqlSelectSpo2AtTime;
    static constexpr const char *kInsert = kSqlInsertSpo2;
    static constexpr const char *kSelect = kSqlSelectSpo2List;
    static constexpr uint kInsertCode = DB_ERR_INSERT_SPO2;
    static constexpr const char *kInsertNullGuid =
        "Insert new SPO2 data that patient guid is null.";
    static constexpr const char *kInsertFailed = "Insert SPO2 data to database failed!";
    static constexpr const char *kNoData = "No SPO2 data has been saved to database.";
    static constexpr uint kGetCode = DB_ERR_GET_SPO2;
    static constexpr const char *kGetNullGuid = "GetSPO2DataList that GUID is null.";
    static constexpr const char *kGetFailed = "Get SPO2 Data failed.";

    static bool BindValues(SqliteStatement &insert, const STU_DB_SPO2_DATA_LIST &record)
    {
        return insert.Bind(2, static_cast<int>(record.SPO2Value)) &&
               insert.Bind(3, static_cast<int>(record.PrValue));
    }
    static void ReadValues(const QSqlQuery &query, STU_DB_SPO2_DATA_LIST &record)
    {
        record.SPO2Value = static_cast<quint16>(query.value(kDataColFirstValue).toUInt());
        record.PrValue = static_cast<quint16>(query.value(kDataColFirstValue + 1).toUInt());
    }
};

template <> struct MeasureTable<STU_DB_TEMP_DATA_LIST>
{
    static constexpr const char *kCheck = kSqlSelectTempAtTime;
    static constexpr const char *kInsert = kSqlInsertTemp;
    static constexpr const char *kSelect = kSqlSelectTempList;
    static constexpr uint kInsertCode = DB_ERR_INSERT_TEMP;
    static constexpr const char *kInsertNullGuid =
        "Insert new TEMP data that patient guid is null.";
    static constexpr const char *kInsertFailed = "Insert TEMP data to database failed!";
    static constexpr const char *kNoData = "No TEMP data has been saved to database.";
    static constexpr uint kGetCode = DB_ERR_GET_TEMP;
    static constexpr const char *kGetNullGuid = "GetTempDataList that GUID is null.";
    static constexpr const char *kGetFailed = "Get TEMP Data failed.";

    static bool BindValues(SqliteStatement &insert, const STU_DB_TEMP_DATA_LIST &record)
    {
        return insert.Bind(2, record.TempValue);
    }
    static void ReadValues(const QSqlQuery &query, STU_DB_TEMP_DATA_LIST &record)
    {
        record.TempValue = query.value(kDataColFirstValue).toFloat();
    }
};

// Stores the records of the chain whose MeasureTime the patient does not hold
// yet, inside the caller's transaction. Each statement is prepared once and
// bound again per record; the check sees rows inserted earlier in the chain.
// Bound by position: :PatientID and :MeasureTime come first in both.
template <typename Record>
bool StoreNewRecords(QSqlDatabase &db, const QByteArray &key, const Record *chain,
                     bool &insertedAny)
{
    using Table = MeasureTable<Record>;
    SqliteStatement check(db, Table::kCheck);
    SqliteStatement insert(db, Table::kInsert);
    if (!check.IsValid() || !insert.IsValid())
        return false;
    const QVariant id(key);
    for (const Record *record = chain; record; record = record->pNext) {
        const QVariant time = DatabaseValueCodec::DateTimeToDb(record->MeasureTime);
        if (!check.Bind(0, id) || !check.Bind(1, time))
            return false;
        const SqliteStatement::StepResult found = check.Step();
        check.Reset();
        if (found == SqliteStatement::Error)
            return false;
        if (found == SqliteStatement::Row)
            continue; // a duplicate: that time is stored already
        const bool bound =
            insert.Bind(0, id) && insert.Bind(1, time) && Table::BindValues(insert, *record);
        const bool stored = bound && insert.Step() == SqliteStatement::Done;
        insert.Reset();
        if (!stored)
            return false;
        insertedAny = true;
    }
    return true;
}

// Reads the patient's records in time order, inside the caller's transaction.
template <typename Record>
bool ReadRecords(QSqlDatabase &db, const QByteArray &key, RecordChainBuilder<Record> &chain)
{
    using Table = MeasureTable<Record>;
    QSqlQuery query = MakeQuery(db);
    if (!ExecWithId(query, Table::kSelect, ":PatientID", key))
        return false;
    while (query.next()) {
        Record *record = new Record();
        chain.Append(record);
        record->ID = query.value(kDataColID).toInt();
        record->MeasureTime = DatabaseValueCodec::DateTimeFromDb(query.value(kDataColMeasureTime));
        Table::ReadValues(query, *record);
    }
    return RowsReadCompletely(query);
}

template <typename Record> uint InsertMeasurements(QSqlDatabase &db, QUuid *id, Record *chain)
{
    using Table = MeasureTable<Record>;
    if (!id || id->isNull()) {
        MLOG(Table::kInsertNullGuid);
        return Table::kInsertCode;
    }
    if (!chain) {
        MLOG(Table::kNoData);
        return DB_OK;
    }
    const QByteArray key = DatabaseValueCodec::UuidToDb(*id);
    DatabaseTransaction transaction(db);
    bool insertedAny = false;
    bool ok = transaction.IsBegun() && StoreNewRecords(db, key, chain, insertedAny);
    // Marking the patient belongs to the same import; a failure there does
    // not undo the records.
    if (ok && insertedAny)
        MarkPatientUpdated(db, key);
    ok = ok && transaction.Commit();
    if (!ok) {
        transaction.Rollback();
        MLOG(Table::kInsertFailed);
        return Table::kInsertCode;
    }
    return DB_OK;
}

template <typename Record> uint GetMeasurements(QSqlDatabase &db, QUuid *id, Record **result)
{
    using Table = MeasureTable<Record>;
    if (result)
        *result = nullptr;
    if (!id || id->isNull()) {
        MLOG(Table::kGetNullGuid);
        return Table::kGetCode;
    }
    RecordChainBuilder<Record> chain;
    DatabaseTransaction transaction(db);
    const bool ok = result && transaction.IsBegun() &&
                    ReadRecords(db, DatabaseValueCodec::UuidToDb(*id), chain) &&
                    transaction.Commit();
    if (!ok) {
        MLOG(Table::kGetFailed);
        return Table::kGetCode;
    }
    *result = chain.Release();
    return DB_OK;
}

// Moves the removed patient's records of one kind to the remaining patient,
// skipping times the remaining patient already has.
template <typename Record>
bool MoveRecords(QSqlDatabase &db, const QByteArray &remaining, const QByteArray &removed,
                 bool &insertedAny)
{
    RecordChainBuilder<Record> chain;
    if (!ReadRecords(db, removed, chain))
        return false;
    RecordChainPtr<Record> records(chain.Release());
    return !records || StoreNewRecords(db, remaining, records.get(), insertedAny);
}

// Runs an operation; an exception inside it becomes its failure code.
template <typename Operation>
uint Guarded(uint failCode, const char *failMessage, Operation &&operation)
{
    try {
        return operation();
    } catch (...) {
        if (failMessage)
            MLOG(failMessage);
        return failCode;
    }
}

template <typename Record> Record *MakeDemoChain(void (*fill)(Record &, int))
{
    const QDateTime start = QDateTime::currentDateTime().addDays(-kDemoDays);
    RecordChainBuilder<Record> chain;
    for (int i = 0; i < kDemoRecordCount; ++i) {
        Record *record = new Record();
        chain.Append(record);
        record->MeasureTime = start.addSecs(static_cast<qint64>(i) * kDemoRecordSpacingSecs);
        fill(*record, i);
    }
    return chain.Release();
}

void FillDemoPatientA(STU_DB_PATIENT_LIST &patient)
{
    patient.PatientID = QUuid::createUuid();
    SetRecordText(patient.DeviceSN, QStringLiteral("demo_device_data"));
    patient.IdInDevice = 1;
    SetRecordText(patient.Name, QString::fromUtf16(u"\u5F20\u4E09"));
    patient.Gender = 1;
    patient.Height = 175.0f;
    patient.Weight = 80.0f;
    SetRecordText(patient.Mobile, QStringLiteral("13888888888"));
    SetRecordText(patient.Doctor, QStringLiteral("demo_doctor"));
    patient.IdentityType = 1;
    SetRecordText(patient.IdentityCode, QStringLiteral("238372373839729792"));
    patient.PatientType = 1;
    patient.Age = 38;
}

void FillDemoPatientB(STU_DB_PATIENT_LIST &patient)
{
    patient.PatientID = QUuid::createUuid();
    SetRecordText(patient.DeviceSN, QStringLiteral("demo_device_data"));
    patient.IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    SetRecordText(patient.Name, QString::fromUtf16(u"\u674E\u56DB"));
    patient.Gender = 2;
    patient.Height = 163.0f;
    patient.Weight = 48.0f;
    SetRecordText(patient.Mobile, QStringLiteral("18711111111"));
    SetRecordText(patient.Doctor, QStringLiteral("demo_doctor"));
    patient.IdentityType = 2;
    SetRecordText(patient.IdentityCode, QStringLiteral("079788686868686780"));
    patient.PatientType = 1;
    patient.Age = 18;
}

} // namespace

DatabaseAccessSQLite::DatabaseAccessSQLite()
{
    OpenDatabase();
}

DatabaseAccessSQLite::~DatabaseAccessSQLite()
{
    CloseDatabase();
}

const char *DatabaseAccessSQLite::ConnectionName()
{
    return kConnectionName;
}

uint DatabaseAccessSQLite::OpenDatabase()
{
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(kDriverName))) {
        MLOG("Sqlite driver is not available.");
        return DB_ERR_DRIVER_OR_PATH;
    }
    const QString directory = MSettings::GetInstance()->GetDatabaseFilePath();
    // An empty setting would put the file at the file-system root.
    if (directory.isEmpty() || !QDir().mkpath(directory)) {
        MLOG("Database file path is incorrect!");
        return DB_ERR_DRIVER_OR_PATH;
    }
    const QString filePath = directory + QLatin1Char('/') + QLatin1String(kFileName);
    const bool isNewFile = !QFile::exists(filePath);

    m_db = QSqlDatabase::addDatabase(QLatin1String(kDriverName), QLatin1String(kConnectionName));
    m_db.setDatabaseName(filePath);
    m_db.setPassword(QLatin1String(kPassword));
    m_db.setHostName(QLatin1String(kHostName));
    if (!m_db.open()) {
        MLOG("Database file path is incorrect!");
        return DB_ERR_OPEN;
    }
    if (isNewFile) {
        const uint code = CreateTables();
        if (code != DB_OK)
            return code;
        const uint demoCode = InsertDemoData();
        if (demoCode != DB_OK)
            return demoCode;
    } else {
        AddMeasureTimeIndexes();
    }
    return SelfCheck();
}

void DatabaseAccessSQLite::AddMeasureTimeIndexes()
{
    // Older files lack these indexes. A read-only file simply stays without
    // them: they only speed up the duplicate check.
    Guarded(DB_OK, nullptr, [this] {
        DatabaseTransaction transaction(m_db);
        bool ok = transaction.IsBegun();
        for (const char *sql :
             {kSqlCreateNibpTimeIndex, kSqlCreateSpo2TimeIndex, kSqlCreateTempTimeIndex}) {
            QSqlQuery query = MakeQuery(m_db);
            ok = ok && query.exec(QLatin1String(sql));
        }
        if (ok)
            transaction.Commit();
        return DB_OK;
    });
}

void DatabaseAccessSQLite::CloseDatabase()
{
    if (m_db.isOpen())
        m_db.close();
    // The handle must go before the connection is removed, or Qt reports it
    // as still in use.
    const bool added = m_db.isValid();
    m_db = QSqlDatabase();
    if (added)
        QSqlDatabase::removeDatabase(QLatin1String(kConnectionName));
}

uint DatabaseAccessSQLite::SelfCheck()
{
    if (QSqlDatabase::isDriverAvailable(QLatin1String(kDriverName)) && m_db.isOpen())
        return DB_OK;
    MLOG("Database self-check failed!");
    return DB_ERR_SELF_CHECK;
}

uint DatabaseAccessSQLite::CreateTables()
{
    return Guarded(DB_ERR_CREATE_TABLES, "Create tables failed!", [this] {
        DatabaseTransaction transaction(m_db);
        bool ok = m_db.isOpen();
        for (const char *sql : {kSqlCreatePatientTable, kSqlCreatePatientIndex, kSqlCreateNibpTable,
                                kSqlCreateNibpIndex, kSqlCreateSpo2Table, kSqlCreateSpo2Index,
                                kSqlCreateTempTable, kSqlCreateTempIndex, kSqlCreateNibpTimeIndex,
                                kSqlCreateSpo2TimeIndex, kSqlCreateTempTimeIndex}) {
            QSqlQuery query = MakeQuery(m_db);
            ok = ok && query.prepare(QLatin1String(sql)) && query.exec();
        }
        ok = ok && transaction.Commit();
        if (!ok) {
            transaction.Rollback();
            MLOG("Create tables failed!");
            return static_cast<uint>(DB_ERR_CREATE_TABLES);
        }
        return static_cast<uint>(DB_OK);
    });
}

uint DatabaseAccessSQLite::InitializeTables()
{
    return CreateTables();
}

uint DatabaseAccessSQLite::InsertDemoData()
{
    return Guarded(DB_OK, nullptr, [this] {
        STU_DB_PATIENT_LIST patientA;
        FillDemoPatientA(patientA);
        InsertNewPatient(&patientA);
        STU_DB_PATIENT_LIST patientB;
        FillDemoPatientB(patientB);
        InsertNewPatient(&patientB);
        InsertDemoNibpData(&patientB.PatientID);
        InsertDemoNibpData(&patientA.PatientID);
        InsertDemoSpo2Data(&patientB.PatientID);
        InsertDemoSpo2Data(&patientA.PatientID);
        InsertDemoTempData(&patientB.PatientID);
        InsertDemoTempData(&patientA.PatientID);
        return static_cast<uint>(DB_OK);
    });
}

uint DatabaseAccessSQLite::InsertDemoNibpData(QUuid *id)
{
    RecordChainPtr<STU_DB_NIBP_DATA_LIST> chain(
        MakeDemoChain<STU_DB_NIBP_DATA_LIST>([](STU_DB_NIBP_DATA_LIST &record, int i) {
            record.SysValue = static_cast<quint16>(120 + i % 20);
            record.DiaValue = static_cast<quint16>(80 + i % 40);
            record.MeanValue = static_cast<quint16>(93 + i % 30);
            record.PrValue = static_cast<quint16>(75 + i % 10);
        }));
    return InsertNibpData(id, chain.get());
}

uint DatabaseAccessSQLite::InsertDemoSpo2Data(QUuid *id)
{
    RecordChainPtr<STU_DB_SPO2_DATA_LIST> chain(
        MakeDemoChain<STU_DB_SPO2_DATA_LIST>([](STU_DB_SPO2_DATA_LIST &record, int i) {
            record.SPO2Value = static_cast<quint16>(95 + i % 5);
            record.PrValue = static_cast<quint16>(100 - i % 40);
        }));
    return InsertSPO2Data(id, chain.get());
}

uint DatabaseAccessSQLite::InsertDemoTempData(QUuid *id)
{
    RecordChainPtr<STU_DB_TEMP_DATA_LIST> chain(
        MakeDemoChain<STU_DB_TEMP_DATA_LIST>([](STU_DB_TEMP_DATA_LIST &record, int i) {
            record.TempValue = static_cast<float>(37.0 + 0.1 * (i % 40));
        }));
    return InsertTempData(id, chain.get());
}

uint DatabaseAccessSQLite::InsertNewPatient(STU_DB_PATIENT_LIST *patient)
{
    return Guarded(DB_ERR_INSERT_PATIENT, "Insert a patient to database failed!",
                   [this, patient] { return InsertNewPatientSteps(patient); });
}

uint DatabaseAccessSQLite::InsertNewPatientSteps(STU_DB_PATIENT_LIST *patient)
{
    if (!patient || patient->PatientID.isNull()) {
        MLOG("Insert a patient that has GUID is null.");
        return DB_ERR_INSERT_PATIENT;
    }
    const QDateTime now = DatabaseValueCodec::CurrentDateTime();
    const QByteArray key = DatabaseValueCodec::UuidToDb(patient->PatientID);
    DatabaseTransaction transaction(m_db);
    QSqlQuery exists = MakeQuery(m_db);
    if (!transaction.IsBegun() || !exists.prepare(QLatin1String(kSqlSelectPatientById))) {
        // Without the check the patient cannot be told apart from a stored one.
        MLOG("Insert a patient that has existed in database.");
        transaction.Commit();
        return DB_ERR_PATIENT_EXISTS;
    }
    exists.bindValue(QStringLiteral(":id"), key);
    QSqlQuery insert = MakeQuery(m_db);
    if (!insert.prepare(QLatin1String(kSqlInsertPatient))) {
        transaction.Rollback();
        MLOG("Insert a patient to database failed!");
        return DB_ERR_INSERT_PATIENT;
    }
    const bool checked = exists.exec();
    const bool found = checked && exists.next();
    exists.finish();
    if (found) {
        transaction.Rollback();
        MLOG("Insert a patient that has existed in database.");
        return DB_ERR_PATIENT_EXISTS;
    }
    BindPatientColumns(insert, *patient, Codec::ColPatientID, Codec::ColAddress);
    insert.bindValue(Codec::Placeholder(Codec::ColLastUpdateTime),
                     DatabaseValueCodec::DateTimeToDb(now));
    if (!checked || !insert.exec() || !transaction.Commit()) {
        transaction.Rollback();
        MLOG("Insert a patient to database failed!");
        return DB_ERR_INSERT_PATIENT;
    }
    patient->LastUpdateTime = now;
    return DB_OK;
}

uint DatabaseAccessSQLite::DeletePatient(QUuid *id)
{
    return Guarded(DB_ERR_DELETE_PATIENT, "Delete a patient data failed!", [this, id] {
        if (!id || id->isNull()) {
            MLOG("Delete a patient data failed!");
            return static_cast<uint>(DB_ERR_DELETE_PATIENT);
        }
        DatabaseTransaction transaction(m_db);
        const bool ok = transaction.IsBegun() &&
                        DeletePatientRows(m_db, DatabaseValueCodec::UuidToDb(*id)) &&
                        transaction.Commit();
        if (!ok) {
            transaction.Rollback();
            MLOG("Delete a patient data failed!");
            return static_cast<uint>(DB_ERR_DELETE_PATIENT);
        }
        return static_cast<uint>(DB_OK);
    });
}

uint DatabaseAccessSQLite::UpdatePatient(STU_DB_PATIENT_LIST *patient)
{
    return Guarded(DB_ERR_UPDATE_PATIENT, "Update a patient failed.", [this, patient] {
        if (!patient || patient->PatientID.isNull()) {
            MLOG("Update a patient that GUID is null.");
            return static_cast<uint>(DB_ERR_UPDATE_PATIENT);
        }
        DatabaseTransaction transaction(m_db);
        QSqlQuery query = MakeQuery(m_db);
        bool ok = transaction.IsBegun() && query.prepare(QLatin1String(kSqlUpdatePatient));
        if (ok) {
            BindPatientColumns(query, *patient, Codec::ColName, Codec::ColAddress);
            BindPatientColumns(query, *patient, Codec::ColPatientID, Codec::ColPatientID);
            ok = query.exec() && transaction.Commit();
        }
        if (!ok) {
            transaction.Rollback();
            MLOG("Update a patient failed.");
            return static_cast<uint>(DB_ERR_UPDATE_PATIENT);
        }
        return static_cast<uint>(DB_OK);
    });
}

uint DatabaseAccessSQLite::GetAllPatientBrief(STU_DB_PATIENT_LIST **result)
{
    return Guarded(DB_ERR_GET_ALL_PATIENT_BRIEF, "Get Patient Brief failed.", [this, result] {
        if (result)
            *result = nullptr;
        RecordChainBuilder<STU_DB_PATIENT_LIST> chain;
        DatabaseTransaction transaction(m_db);
        QSqlQuery query = MakeQuery(m_db);
        bool ok =
            result && transaction.IsBegun() && query.exec(QLatin1String(kSqlSelectAllPatientBrief));
        // The brief query's columns, mapped onto the table's.
        const int columns[] = {Codec::ColPatientID, Codec::ColDeviceSN, Codec::ColIdInDevice,
                               Codec::ColName,      Codec::ColReadFlag, Codec::ColLastUpdateTime};
        while (ok && query.next()) {
            STU_DB_PATIENT_LIST *patient = new STU_DB_PATIENT_LIST();
            chain.Append(patient);
            for (int i = 0; i < static_cast<int>(std::size(columns)); ++i)
                Codec::FromDb(*patient, columns[i], query.value(i));
        }
        ok = ok && RowsReadCompletely(query) && transaction.Commit();
        if (!ok) {
            MLOG("Get Patient Brief failed.");
            return static_cast<uint>(DB_ERR_GET_ALL_PATIENT_BRIEF);
        }
        *result = chain.Release();
        return static_cast<uint>(DB_OK);
    });
}

uint DatabaseAccessSQLite::GetPatientDetail(STU_DB_PATIENT_LIST *patient)
{
    return Guarded(DB_ERR_GET_PATIENT, "Get Patient detail failed.", [this, patient] {
        if (!patient || patient->PatientID.isNull()) {
            MLOG("GetPatientDetail that GUID is null.");
            return static_cast<uint>(DB_ERR_GET_PATIENT);
        }
        if (!ReadPatientRow(*patient, true)) {
            MLOG("Get Patient detail failed.");
            return static_cast<uint>(DB_ERR_GET_PATIENT);
        }
        return static_cast<uint>(DB_OK);
    });
}

uint DatabaseAccessSQLite::GetOnePatientBriefInfo(STU_DB_PATIENT_LIST *patient)
{
    return Guarded(DB_ERR_GET_PATIENT, "Get Patient brief failed.", [this, patient] {
        if (!patient || patient->PatientID.isNull()) {
            MLOG("GetOnePatientBriefInfo that GUID is null.");
            return static_cast<uint>(DB_ERR_GET_PATIENT);
        }
        if (!ReadPatientRow(*patient, false)) {
            MLOG("Get Patient brief failed.");
            return static_cast<uint>(DB_ERR_GET_PATIENT);
        }
        return static_cast<uint>(DB_OK);
    });
}

bool DatabaseAccessSQLite::ReadPatientRow(STU_DB_PATIENT_LIST &patient, bool complete)
{
    DatabaseTransaction transaction(m_db);
    QSqlQuery query = MakeQuery(m_db);
    bool ok = transaction.IsBegun() &&
              ExecWithId(query, kSqlSelectPatientDetail, ":PatientID",
                         DatabaseValueCodec::UuidToDb(patient.PatientID)) &&
              query.next();
    // Filled aside so that a failure leaves the caller's record as it was.
    STU_DB_PATIENT_LIST row = patient;
    if (ok && complete) {
        ReadPatientColumns(query, row,
                           {Codec::ColDeviceSN, Codec::ColIdInDevice, Codec::ColName,
                            Codec::ColGender, Codec::ColHeight, Codec::ColWeight, Codec::ColMobile,
                            Codec::ColDoctor, Codec::ColIdentityType, Codec::ColIdentityCode,
                            Codec::ColSocietyCode, Codec::ColPatientType, Codec::ColAge,
                            Codec::ColAddress, Codec::ColReadFlag, Codec::ColLastUpdateTime});
    } else if (ok) {
        ReadPatientColumns(query, row,
                           {Codec::ColDeviceSN, Codec::ColIdInDevice, Codec::ColName,
                            Codec::ColReadFlag, Codec::ColLastUpdateTime});
    }
    query.finish();
    ok = ok && transaction.Commit();
    if (ok)
        patient = row;
    return ok;
}

uint DatabaseAccessSQLite::InsertNibpData(QUuid *id, STU_DB_NIBP_DATA_LIST *chain)
{
    return Guarded(DB_ERR_INSERT_NIBP, "Insert NIBP data to database failed!",
                   [this, id, chain] { return InsertMeasurements(m_db, id, chain); });
}

uint DatabaseAccessSQLite::InsertSPO2Data(QUuid *id, STU_DB_SPO2_DATA_LIST *chain)
{
    return Guarded(DB_ERR_INSERT_SPO2, "Insert SPO2 data to database failed!",
                   [this, id, chain] { return InsertMeasurements(m_db, id, chain); });
}

uint DatabaseAccessSQLite::InsertTempData(QUuid *id, STU_DB_TEMP_DATA_LIST *chain)
{
    return Guarded(DB_ERR_INSERT_TEMP, "Insert TEMP data to database failed!",
                   [this, id, chain] { return InsertMeasurements(m_db, id, chain); });
}

uint DatabaseAccessSQLite::GetNibpDataList(QUuid *id, STU_DB_NIBP_DATA_LIST **result)
{
    return Guarded(DB_ERR_GET_NIBP, "Get NIBP Data failed.",
                   [this, id, result] { return GetMeasurements(m_db, id, result); });
}

uint DatabaseAccessSQLite::GetSPO2DataList(QUuid *id, STU_DB_SPO2_DATA_LIST **result)
{
    return Guarded(DB_ERR_GET_SPO2, "Get SPO2 Data failed.",
                   [this, id, result] { return GetMeasurements(m_db, id, result); });
}

uint DatabaseAccessSQLite::GetTempDataList(QUuid *id, STU_DB_TEMP_DATA_LIST **result)
{
    return Guarded(DB_ERR_GET_TEMP, "Get TEMP Data failed.",
                   [this, id, result] { return GetMeasurements(m_db, id, result); });
}

uint DatabaseAccessSQLite::SearchPatientToMerge(uint keyBits, STU_DB_PATIENT_LIST *patient,
                                                STU_DB_PATIENT_LIST **result)
{
    return Guarded(DB_ERR_SEARCH_TO_MERGE, "Search Patient to merge failed.",
                   [this, keyBits, patient, result] {
                       return SearchPatientToMergeSteps(keyBits, patient, result);
                   });
}

uint DatabaseAccessSQLite::SearchPatientToMergeSteps(uint keyBits, STU_DB_PATIENT_LIST *patient,
                                                     STU_DB_PATIENT_LIST **result)
{
    if (result)
        *result = nullptr;
    if (!patient || patient->PatientID.isNull()) {
        MLOG("SearchPatientToMerge that GUID is null.");
        return DB_ERR_SEARCH_TO_MERGE;
    }
    // Two empty values are no match: only keys the patient has a value for
    // count, and with none of the asked ones left nobody is alike.
    const uint valuedBits = MergeKeysWithValues(keyBits, *patient);
    if (keyBits != 0 && valuedBits == 0)
        return DB_OK;
    keyBits = valuedBits;
    // Bit i asks for equality in table column i + 1 (DeviceSN ... Address).
    QList<int> keyColumns;
    QString sql = QLatin1String(kSqlSelectMergeCandidates);
    for (int column = Codec::ColDeviceSN; column <= Codec::ColAddress; ++column) {
        if (keyBits & (1u << (column - 1))) {
            keyColumns.append(column);
            sql += QStringLiteral("AND %1 = %2 ")
                       .arg(Codec::ColumnName(column), Codec::Placeholder(column));
        }
    }
    RecordChainBuilder<STU_DB_PATIENT_LIST> chain;
    DatabaseTransaction transaction(m_db);
    QSqlQuery query = MakeQuery(m_db);
    bool ok = result && transaction.IsBegun() && query.prepare(sql);
    if (ok) {
        BindPatientColumns(query, *patient, Codec::ColPatientID, Codec::ColPatientID);
        for (int column : keyColumns)
            BindPatientColumns(query, *patient, column, column);
        ok = query.exec();
    }
    while (ok && query.next()) {
        STU_DB_PATIENT_LIST *candidate = new STU_DB_PATIENT_LIST();
        chain.Append(candidate);
        ReadCompletePatient(query, *candidate);
    }
    ok = ok && RowsReadCompletely(query) && transaction.Commit();
    if (!ok) {
        MLOG("Search Patient to merge failed.");
        return DB_ERR_SEARCH_TO_MERGE;
    }
    *result = chain.Release();
    return DB_OK;
}

uint DatabaseAccessSQLite::MergePatientData(QUuid *remaining, QUuid *removed)
{
    return Guarded(DB_ERR_MERGE, "Merge patient data failed!", [this, remaining, removed] {
        if (!remaining || !removed || remaining->isNull() || removed->isNull()) {
            MLOG("Merge patient data that new guid or old guid is null.");
            return static_cast<uint>(DB_ERR_MERGE);
        }
        if (!MergePatientRows(DatabaseValueCodec::UuidToDb(*remaining),
                              DatabaseValueCodec::UuidToDb(*removed))) {
            MLOG("Merge patient data failed!");
            return static_cast<uint>(DB_ERR_MERGE);
        }
        return static_cast<uint>(DB_OK);
    });
}

bool DatabaseAccessSQLite::MergePatientRows(const QByteArray &remaining, const QByteArray &removed)
{
    // One transaction: the removed patient goes only together with the move of
    // his records, so a failure keeps both patients as they were. Merging a
    // patient into himself, or into one not stored, would lose his records.
    if (remaining == removed)
        return false;
    DatabaseTransaction transaction(m_db);
    bool insertedAny = false;
    bool ok = transaction.IsBegun() && PatientRowExists(m_db, remaining) &&
              MoveRecords<STU_DB_NIBP_DATA_LIST>(m_db, remaining, removed, insertedAny) &&
              MoveRecords<STU_DB_SPO2_DATA_LIST>(m_db, remaining, removed, insertedAny) &&
              MoveRecords<STU_DB_TEMP_DATA_LIST>(m_db, remaining, removed, insertedAny);
    if (ok && insertedAny)
        ok = MarkPatientUpdated(m_db, remaining);
    ok = ok && DeletePatientRows(m_db, removed) && transaction.Commit();
    if (!ok)
        transaction.Rollback();
    return ok;
}

uint DatabaseAccessSQLite::UpdateLastImportTime(QUuid *id)
{
    return Guarded(DB_ERR_UPDATE_LAST_IMPORT_TIME, "Update last import time failed!", [this, id] {
        if (!id || id->isNull()) {
            MLOG("Update last import time failed!");
            return static_cast<uint>(DB_ERR_UPDATE_LAST_IMPORT_TIME);
        }
        DatabaseTransaction transaction(m_db);
        const bool ok = transaction.IsBegun() &&
                        UpdateLastUpdateTimeRow(m_db, DatabaseValueCodec::UuidToDb(*id),
                                                DatabaseValueCodec::CurrentDateTime()) &&
                        transaction.Commit();
        if (!ok) {
            transaction.Rollback();
            MLOG("Update last import time failed!");
            return static_cast<uint>(DB_ERR_UPDATE_LAST_IMPORT_TIME);
        }
        return static_cast<uint>(DB_OK);
    });
}

uint DatabaseAccessSQLite::UpdateBrowserFlag(QUuid *id, bool read)
{
    return Guarded(DB_ERR_UPDATE_BROWSER_FLAG, "Update browser flag failed!", [this, id, read] {
        if (!id || id->isNull()) {
            MLOG("Update browser flag failed!");
            return static_cast<uint>(DB_ERR_UPDATE_BROWSER_FLAG);
        }
        DatabaseTransaction transaction(m_db);
        const bool ok = transaction.IsBegun() &&
                        UpdateReadFlagRow(m_db, DatabaseValueCodec::UuidToDb(*id), read) &&
                        transaction.Commit();
        if (!ok) {
            transaction.Rollback();
            MLOG("Update browser flag failed!");
            return static_cast<uint>(DB_ERR_UPDATE_BROWSER_FLAG);
        }
        return static_cast<uint>(DB_OK);
    });
}

#include "DatabaseAccessSQLite.h"

#include "ArrayParameters.h"
#include "DatabaseSchema.h"
#include "DatabaseStatements.h"
#include "DatabaseTransaction.h"
#include "DatabaseValueCodec.h"
#include "MLog.h"
#include "MSettings.h"
#include "MergeKeys.h"
#include "PatientRowCodec.h"
#include "RecordChainPtr.h"
#include "StoreDialect.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <initializer_list>
#include <iterator>

#include <sqlite3.h>

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

QVariant KeyOf(const QSqlDatabase &db, const QUuid &id)
{
    return StoreDialect::Of(db).Key(id);
}

void BindPatientColumns(QSqlQuery &query, const QSqlDatabase &db,
                        const STU_DB_PATIENT_LIST &patient, int first, int last)
{
    for (int column = first; column <= last; ++column) {
        query.bindValue(Codec::Placeholder(column), column == Codec::ColPatientID
                                                        ? KeyOf(db, patient.PatientID)
                                                        : Codec::ToDb(patient, column));
    }
}

QSqlQuery MakeQuery(QSqlDatabase &db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    return query;
}

bool ExecWithId(QSqlQuery &query, const char *sql, const char *placeholder, const QVariant &key)
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
bool DeletePatientRows(QSqlDatabase &db, const QVariant &key)
{
    for (const char *sql :
         {kSqlDeletePatient, kSqlDeleteNibpData, kSqlDeleteSpo2Data, kSqlDeleteTempData}) {
        QSqlQuery query = MakeQuery(db);
        if (!ExecWithId(query, sql, ":id", key))
            return false;
    }
    return true;
}

bool UpdateLastUpdateTimeRow(QSqlDatabase &db, const QVariant &key, const QDateTime &time)
{
    QSqlQuery query = MakeQuery(db);
    if (!query.prepare(QLatin1String(kSqlUpdateLastImportTime)))
        return false;
    query.bindValue(QStringLiteral(":LastUpdateTime"), DatabaseValueCodec::DateTimeToDb(time));
    query.bindValue(QStringLiteral(":id"), key);
    return query.exec();
}

bool UpdateReadFlagRow(QSqlDatabase &db, const QVariant &key, bool read)
{
    QSqlQuery query = MakeQuery(db);
    if (!query.prepare(QLatin1String(kSqlUpdateReadFlag)))
        return false;
    query.bindValue(QStringLiteral(":ReadFlag"), read);
    query.bindValue(QStringLiteral(":id"), key);
    return query.exec();
}

// New measurements make the patient unread and move his last update to now.
bool MarkPatientUpdated(QSqlDatabase &db, const QVariant &key)
{
    const bool timeOk = UpdateLastUpdateTimeRow(db, key, DatabaseValueCodec::CurrentDateTime());
    const bool flagOk = UpdateReadFlagRow(db, key, false);
    return timeOk && flagOk;
}

bool PatientRowExists(QSqlDatabase &db, const QVariant &key)
{
    QSqlQuery query = MakeQuery(db);
    return ExecWithId(query, kSqlSelectPatientById, ":id", key) && query.next();
}

// What differs between the three measurement tables.
template <typename Record> struct MeasureTable;

template <> struct MeasureTable<STU_DB_NIBP_DATA_LIST>
{
    static constexpr const char *StoreDialect::*kCheck = &StoreDialect::checkNibp;
    static constexpr const char *StoreDialect::*kInsert = &StoreDialect::insertNibp;
    static constexpr int kColumns = 6; // of the insert
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
    template <typename Binder>
    static bool BindValues(Binder &insert, const STU_DB_NIBP_DATA_LIST &record)
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
    static constexpr const char *StoreDialect::*kCheck = &StoreDialect::checkSpo2;
    static constexpr const char *StoreDialect::*kInsert = &StoreDialect::insertSpo2;
    static constexpr int kColumns = 4;
    static constexpr const char *kSelect = kSqlSelectSpo2List;
    static constexpr uint kInsertCode = DB_ERR_INSERT_SPO2;
    static constexpr const char *kInsertNullGuid =
        "Insert new SPO2 data that patient guid is null.";
    static constexpr const char *kInsertFailed = "Insert SPO2 data to database failed!";
    static constexpr const char *kNoData = "No SPO2 data has been saved to database.";
    static constexpr uint kGetCode = DB_ERR_GET_SPO2;
    static constexpr const char *kGetNullGuid = "GetSPO2DataList that GUID is null.";
    static constexpr const char *kGetFailed = "Get SPO2 Data failed.";

    template <typename Binder>
    static bool BindValues(Binder &insert, const STU_DB_SPO2_DATA_LIST &record)
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
    static constexpr const char *StoreDialect::*kCheck = &StoreDialect::checkTemp;
    static constexpr const char *StoreDialect::*kInsert = &StoreDialect::insertTemp;
    static constexpr int kColumns = 3;
    static constexpr const char *kSelect = kSqlSelectTempList;
    static constexpr uint kInsertCode = DB_ERR_INSERT_TEMP;
    static constexpr const char *kInsertNullGuid =
        "Insert new TEMP data that patient guid is null.";
    static constexpr const char *kInsertFailed = "Insert TEMP data to database failed!";
    static constexpr const char *kNoData = "No TEMP data has been saved to database.";
    static constexpr uint kGetCode = DB_ERR_GET_TEMP;
    static constexpr const char *kGetNullGuid = "GetTempDataList that GUID is null.";
    static constexpr const char *kGetFailed = "Get TEMP Data failed.";

    template <typename Binder>
    static bool BindValues(Binder &insert, const STU_DB_TEMP_DATA_LIST &record)
    {
        return insert.Bind(2, record.TempValue);
    }
    static void ReadValues(const QSqlQuery &query, STU_DB_TEMP_DATA_LIST &record)
    {
        record.TempValue = query.value(kDataColFirstValue).toFloat();
    }
};

// Stores the records of the chain whose MeasureTime (to the second) the patient
// does not hold yet, inside the caller's transaction. Each statement is
// prepared once and bound again per record; the check sees rows inserted
// earlier in the chain. Bound by position: :PatientID and :MeasureTime come
// first in both (the check's second :MeasureTime is the same parameter).
// Where the inserts take whole chains (a server), one statement stores the
// chain and skips what is stored, also what another workstation stored
// meanwhile.
// Ends a failed transaction while its statements still exist: a server
// cannot free a statement inside a transaction that has failed.
bool Abandon(DatabaseTransaction &transaction)
{
    transaction.Rollback();
    return false;
}

// The same with one statement for the whole chain.
template <typename Record>
bool StoreChain(QSqlDatabase &db, DatabaseTransaction &transaction, const QVariant &key,
                const Record *chain, bool &insertedAny)
{
    using Table = MeasureTable<Record>;
    ArrayParameters arrays;
    for (const Record *record = chain; record; record = record->pNext) {
        arrays.Bind(1, DatabaseValueCodec::DateTimeToDb(record->MeasureTime));
        Table::BindValues(arrays, *record);
    }
    const StoreDialect &dialect = StoreDialect::Of(db);
    std::unique_ptr<PreparedStatement> insert = dialect.Prepare(db, dialect.*Table::kInsert);
    bool ok = insert->IsValid() && insert->Bind(0, key);
    for (int position = 1; ok && position < Table::kColumns; ++position)
        ok = insert->Bind(position, arrays.Literal(position));
    ok = ok && insert->Step() == PreparedStatement::Done;
    if (!ok)
        return Abandon(transaction);
    insertedAny = insertedAny || insert->ChangedRows() > 0;
    return true;
}

template <typename Record>
bool StoreNewRecords(QSqlDatabase &db, DatabaseTransaction &transaction, const QVariant &key,
                     const Record *chain, bool &insertedAny)
{
    using Table = MeasureTable<Record>;
    const StoreDialect &dialect = StoreDialect::Of(db);
    if (dialect.chainInserts)
        return StoreChain(db, transaction, key, chain, insertedAny);
    std::unique_ptr<PreparedStatement> check = dialect.Prepare(db, dialect.*Table::kCheck);
    std::unique_ptr<PreparedStatement> insert = dialect.Prepare(db, dialect.*Table::kInsert);
    if (!check->IsValid() || !insert->IsValid())
        return Abandon(transaction);
    const QVariant &id = key;
    for (const Record *record = chain; record; record = record->pNext) {
        const QVariant time = DatabaseValueCodec::DateTimeToDb(record->MeasureTime);
        if (!check->Bind(0, id) || !check->Bind(1, time))
            return Abandon(transaction);
        const PreparedStatement::StepResult found = check->Step();
        check->Reset();
        if (found == PreparedStatement::Error)
            return Abandon(transaction);
        if (found == PreparedStatement::Row)
            continue; // a duplicate: that time is stored already
        const bool bound =
            insert->Bind(0, id) && insert->Bind(1, time) && Table::BindValues(*insert, *record);
        const bool stored = bound && insert->Step() == PreparedStatement::Done;
        insert->Reset();
        if (!stored)
            return Abandon(transaction);
        insertedAny = true;
    }
    return true;
}

// Reads the patient's records in time order, inside the caller's transaction.
template <typename Record>
bool ReadRecords(QSqlDatabase &db, const QVariant &key, RecordChainBuilder<Record> &chain)
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
    const QVariant key = KeyOf(db, *id);
    DatabaseTransaction transaction(db, DatabaseTransaction::Immediate);
    bool insertedAny = false;
    bool ok = transaction.IsBegun() && StoreNewRecords(db, transaction, key, chain, insertedAny);
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
    DatabaseTransaction transaction(db, DatabaseTransaction::Deferred);
    const bool ok = result && transaction.IsBegun() && ReadRecords(db, KeyOf(db, *id), chain) &&
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
bool MoveRecords(QSqlDatabase &db, DatabaseTransaction &transaction, const QVariant &remaining,
                 const QVariant &removed, bool &insertedAny)
{
    RecordChainBuilder<Record> chain;
    if (!ReadRecords(db, removed, chain))
        return false;
    RecordChainPtr<Record> records(chain.Release());
    return !records || StoreNewRecords(db, transaction, remaining, records.get(), insertedAny);
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

QString Tr(const char *text)
{
    return QCoreApplication::translate("DatabaseAccessSQLite", text);
}

// What the user is told about a file whose schema cannot even be read.
QString UnreadableFileProblem(const QString &filePath, const QSqlError &error)
{
    switch (error.nativeErrorCode().toInt() & 0xFF) {
    case SQLITE_NOTADB:
        return Tr("The file \"%1\" is not a patient database: it is no SQLite database file. "
                  "It has been left as it is.")
            .arg(filePath);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Tr("The patient database \"%1\" is locked by another program. It has been left "
                  "as it is; close the other program, then start this one again.")
            .arg(filePath);
    default:
        return Tr("The patient database \"%1\" cannot be read (%2). It has been left as it is.")
            .arg(filePath, error.databaseText());
    }
}

QString NoTablesProblem(const QString &filePath)
{
    return Tr("The patient database \"%1\" lacks tables that cannot be added: the file could "
              "not be written (is it read-only, or the disk full?).")
        .arg(filePath);
}

} // namespace

template <typename Operation>
uint DatabaseAccessSQLite::Guarded(uint failCode, const char *failMessage, Operation &&operation)
{
    try {
        ReconnectIfLost();
        return operation();
    } catch (...) {
        if (failMessage)
            MLOG(failMessage);
        return failCode;
    }
}

DatabaseAccessSQLite::DatabaseAccessSQLite(NoDatabase) {}

DatabaseAccessSQLite::DatabaseAccessSQLite()
{
    m_uOpenResult = OpenDatabase();
    if (m_uOpenResult != DB_OK && m_strOpenProblem.isEmpty())
        m_strOpenProblem = Tr("The patient database cannot be used.");
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
    const QString directory = MSettings::GetInstance()->GetDatabaseFilePath();
    const QString filePath = directory + QLatin1Char('/') + QLatin1String(kFileName);
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(kDriverName))) {
        MLOG("Sqlite driver is not available.");
        m_strOpenProblem = Tr("The patient database \"%1\" cannot be opened: the SQLite driver "
                              "of this installation is missing.")
                               .arg(filePath);
        return DB_ERR_DRIVER_OR_PATH;
    }
    // An empty setting would put the file at the file-system root.
    if (directory.isEmpty() || !QDir().mkpath(directory)) {
        MLOG("Database file path is incorrect!");
        m_strOpenProblem =
            Tr("The patient database \"%1\" cannot be opened: its folder cannot be created.")
                .arg(filePath);
        return DB_ERR_DRIVER_OR_PATH;
    }
    const bool isNewFile = !QFile::exists(filePath);

    m_db = QSqlDatabase::addDatabase(QLatin1String(kDriverName), QLatin1String(kConnectionName));
    m_db.setDatabaseName(filePath);
    m_db.setPassword(QLatin1String(kPassword));
    m_db.setHostName(QLatin1String(kHostName));
    if (!m_db.open()) {
        MLOG("Database file path is incorrect!");
        m_strOpenProblem = Tr("The patient database \"%1\" cannot be opened (%2).")
                               .arg(filePath, m_db.lastError().databaseText());
        return DB_ERR_OPEN;
    }
    const uint code = PrepareSchema(filePath, isNewFile);
    return code != DB_OK ? code : SelfCheck();
}

uint DatabaseAccessSQLite::PrepareSchema(const QString &filePath, bool isNewFile)
{
    DatabaseSchema schema(m_db);
    if (!schema.Read()) {
        // Nothing is written to a file that cannot be read, and with the
        // connection closed every later operation fails at once instead of
        // waiting for a lock again.
        m_strOpenProblem = UnreadableFileProblem(filePath, schema.LastError());
        MLOG(m_strOpenProblem);
        m_db.close();
        return DB_ERR_OPEN;
    }
    if (schema.HasNoTables()) {
        const uint code = CreateTables();
        if (code == DB_OK)
            return InsertDemoData();
        if (isNewFile) {
            // A file without tables would be taken for a database at the next start.
            m_db.close();
            QFile::remove(filePath);
            QFile::remove(filePath + QLatin1String("-journal"));
            m_strOpenProblem = Tr("The patient database \"%1\" cannot be created: its tables "
                                  "could not be written (is the disk full?). The unfinished file "
                                  "has been removed again.")
                                   .arg(filePath);
        } else {
            m_strOpenProblem = NoTablesProblem(filePath);
        }
        return code;
    }
    if (!schema.AddMissingTables()) {
        MLOG("Create tables failed!");
        m_strOpenProblem = NoTablesProblem(filePath);
        return DB_ERR_CREATE_TABLES;
    }
    // Only a speed-up of the duplicate check: a read-only file goes without.
    schema.AddMissingTimeIndexes();
    return DB_OK;
}

void DatabaseAccessSQLite::CloseDatabase()
{
    if (m_db.isOpen())
        m_db.close();
    // The handle must go before the connection is removed, or Qt reports it
    // as still in use.
    const bool added = m_db.isValid();
    const QString name = m_db.connectionName();
    m_db = QSqlDatabase();
    if (added)
        QSqlDatabase::removeDatabase(name);
}

uint DatabaseAccessSQLite::SelfCheck()
{
    if (QSqlDatabase::isDriverAvailable(QLatin1String(StoreDialect::Of(m_db).driverName)) &&
        m_db.isOpen())
        return DB_OK;
    MLOG("Database self-check failed!");
    return DB_ERR_SELF_CHECK;
}

uint DatabaseAccessSQLite::CreateTables()
{
    return Guarded(DB_ERR_CREATE_TABLES, "Create tables failed!", [this] {
        DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
        bool ok = m_db.isOpen();
        const StoreDialect &dialect = StoreDialect::Of(m_db);
        QList<const char *> statements;
        for (int i = 0; i < 4; ++i)
            statements << dialect.tables[i].statements[0] << dialect.tables[i].statements[1];
        for (int i = 0; i < dialect.timeIndexCount; ++i)
            statements << dialect.timeIndexes[i].statements[0];
        // Run unprepared: a server prepares no schema statements.
        for (const char *sql : statements) {
            QSqlQuery query = MakeQuery(m_db);
            ok = ok && query.exec(QLatin1String(sql));
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
    const QVariant key = KeyOf(m_db, patient->PatientID);
    DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
    QSqlQuery exists = MakeQuery(m_db);
    // A database that cannot be used (closed, or a server gone) stores
    // nothing: the import must count it as failed, not as a known patient.
    if (!transaction.IsBegun()) {
        MLOG("Insert a patient to database failed!");
        return DB_ERR_INSERT_PATIENT;
    }
    if (!exists.prepare(QLatin1String(kSqlSelectPatientById))) {
        // Without the check the patient cannot be told apart from a stored one.
        MLOG("Insert a patient that has existed in database.");
        transaction.Commit();
        return DB_ERR_PATIENT_EXISTS;
    }
    exists.bindValue(QStringLiteral(":id"), key);
    QSqlQuery insert = MakeQuery(m_db);
    if (!insert.prepare(QLatin1String(StoreDialect::Of(m_db).insertPatient))) {
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
    BindPatientColumns(insert, m_db, *patient, Codec::ColPatientID, Codec::ColAddress);
    insert.bindValue(Codec::Placeholder(Codec::ColLastUpdateTime),
                     DatabaseValueCodec::DateTimeToDb(now));
    if (!checked || !insert.exec()) {
        transaction.Rollback();
        MLOG("Insert a patient to database failed!");
        return DB_ERR_INSERT_PATIENT;
    }
    // Another workstation stored him between the check and the insert.
    if (insert.numRowsAffected() == 0) {
        transaction.Rollback();
        MLOG("Insert a patient that has existed in database.");
        return DB_ERR_PATIENT_EXISTS;
    }
    if (!transaction.Commit()) {
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
        DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
        const bool ok = transaction.IsBegun() && DeletePatientRows(m_db, KeyOf(m_db, *id)) &&
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
        DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
        QSqlQuery query = MakeQuery(m_db);
        bool ok = transaction.IsBegun() && query.prepare(QLatin1String(kSqlUpdatePatient));
        if (ok) {
            BindPatientColumns(query, m_db, *patient, Codec::ColName, Codec::ColAddress);
            BindPatientColumns(query, m_db, *patient, Codec::ColPatientID, Codec::ColPatientID);
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
        DatabaseTransaction transaction(m_db, DatabaseTransaction::Deferred);
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
    DatabaseTransaction transaction(m_db, DatabaseTransaction::Deferred);
    QSqlQuery query = MakeQuery(m_db);
    bool ok =
        transaction.IsBegun() &&
        ExecWithId(query, kSqlSelectPatientDetail, ":PatientID", KeyOf(m_db, patient.PatientID)) &&
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
    DatabaseTransaction transaction(m_db, DatabaseTransaction::Deferred);
    QSqlQuery query = MakeQuery(m_db);
    bool ok = result && transaction.IsBegun() && query.prepare(sql);
    if (ok) {
        BindPatientColumns(query, m_db, *patient, Codec::ColPatientID, Codec::ColPatientID);
        for (int column : keyColumns)
            BindPatientColumns(query, m_db, *patient, column, column);
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
        if (!MergePatientRows(KeyOf(m_db, *remaining), KeyOf(m_db, *removed))) {
            MLOG("Merge patient data failed!");
            return static_cast<uint>(DB_ERR_MERGE);
        }
        return static_cast<uint>(DB_OK);
    });
}

bool DatabaseAccessSQLite::MergePatientRows(const QVariant &remaining, const QVariant &removed)
{
    // One transaction: the removed patient goes only together with the move of
    // his records, so a failure keeps both patients as they were. Merging a
    // patient into himself, or into one not stored, would lose his records.
    if (remaining == removed)
        return false;
    DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
    bool insertedAny = false;
    bool ok =
        transaction.IsBegun() && PatientRowExists(m_db, remaining) &&
        MoveRecords<STU_DB_NIBP_DATA_LIST>(m_db, transaction, remaining, removed, insertedAny) &&
        MoveRecords<STU_DB_SPO2_DATA_LIST>(m_db, transaction, remaining, removed, insertedAny) &&
        MoveRecords<STU_DB_TEMP_DATA_LIST>(m_db, transaction, remaining, removed, insertedAny);
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
        DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
        const bool ok = transaction.IsBegun() &&
                        UpdateLastUpdateTimeRow(m_db, KeyOf(m_db, *id),
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
        DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
        const bool ok = transaction.IsBegun() && UpdateReadFlagRow(m_db, KeyOf(m_db, *id), read) &&
                        transaction.Commit();
        if (!ok) {
            transaction.Rollback();
            MLOG("Update browser flag failed!");
            return static_cast<uint>(DB_ERR_UPDATE_BROWSER_FLAG);
        }
        return static_cast<uint>(DB_OK);
    });
}

#include "PatientStore.h"

#include "DatabaseSchema.h"
#include "DatabaseStatements.h"
#include "DatabaseTransaction.h"
#include "DatabaseValueCodec.h"
#include "DemoPatients.h"
#include "MLog.h"
#include "MeasureOperations.h"
#include "PatientMerge.h"
#include "PatientRowCodec.h"

#include <QSqlQuery>

#include <initializer_list>
#include <iterator>

using namespace StoreQueries;

namespace {

using Codec = PatientRowCodec;

const char *const kConnectionName = "MyDBConnection";

// Copies the given table columns of a "SELECT *" row into the record.
void ReadPatientColumns(const QSqlQuery &query, STU_DB_PATIENT_LIST &patient,
                        std::initializer_list<int> columns)
{
    for (int column : columns)
        Codec::FromDb(patient, column, query.value(column));
}

} // namespace

PatientStore::PatientStore(std::unique_ptr<StoreDialect> dialect)
    : m_connection(std::move(dialect)), m_db(m_connection.db)
{
}

PatientStore::~PatientStore()
{
    CloseDatabase();
}

const char *PatientStore::ConnectionName()
{
    return kConnectionName;
}

template <typename Operation>
uint PatientStore::Guarded(uint failCode, const char *failMessage, Operation &&operation)
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

uint PatientStore::Write(uint failCode, const char *failMessage, const std::function<bool()> &steps,
                         const QUuid &changedPatient)
{
    DatabaseTransaction transaction(m_connection, DatabaseTransaction::Immediate);
    transaction.NameChangedPatient(changedPatient);
    const bool ok = transaction.IsBegun() && steps() && transaction.Commit();
    if (!ok) {
        transaction.Rollback();
        MLOG(failMessage);
        return failCode;
    }
    return DB_OK;
}

PatientStore::SchemaState PatientStore::PrepareSchema(QSqlError &readError)
{
    DatabaseSchema schema(m_connection);
    if (!schema.Read()) {
        readError = schema.LastError();
        return SchemaState::Unreadable;
    }
    if (schema.HasNoTables()) {
        if (CreateTables() != DB_OK)
            return SchemaState::NotCreated;
        InsertDemoData();
        return SchemaState::Ready;
    }
    if (!schema.AddMissingTables()) {
        MLOG("Create tables failed!");
        return SchemaState::NotCompleted;
    }
    // Only a speed-up: a read-only file goes without.
    schema.AddMissingSpeedUps();
    return SchemaState::Ready;
}

void PatientStore::CloseDatabase()
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

bool PatientStore::BeginSharedTransaction()
{
    ReconnectIfLost();
    return m_connection.BeginShared();
}

bool PatientStore::EndSharedTransaction()
{
    if (m_connection.EndShared())
        return true;
    MLOG("Storing the shared transaction failed!");
    return false;
}

uint PatientStore::SelfCheck()
{
    if (QSqlDatabase::isDriverAvailable(QLatin1String(m_connection.Dialect().DriverName())) &&
        m_db.isOpen())
        return DB_OK;
    MLOG("Database self-check failed!");
    return DB_ERR_SELF_CHECK;
}

uint PatientStore::CreateTables()
{
    return Guarded(DB_ERR_CREATE_TABLES, "Create tables failed!", [this] {
        const StoreDialect &dialect = m_connection.Dialect();
        return Write(DB_ERR_CREATE_TABLES, "Create tables failed!", [&] {
            // Run unprepared: a server prepares no schema statements.
            for (const StoreDialect::SchemaPart &part : dialect.Tables() + dialect.SpeedUps()) {
                for (const char *sql : part.statements) {
                    QSqlQuery query = MakeQuery(m_connection);
                    if (sql && !query.exec(QLatin1String(sql)))
                        return false;
                }
            }
            return true;
        });
    });
}

uint PatientStore::InitializeTables()
{
    return CreateTables();
}

uint PatientStore::InsertDemoData()
{
    return Guarded(DB_OK, nullptr, [this] {
        DemoPatients::Store(*this);
        return static_cast<uint>(DB_OK);
    });
}

uint PatientStore::InsertNewPatient(STU_DB_PATIENT_LIST *patient)
{
    return Guarded(DB_ERR_INSERT_PATIENT, "Insert a patient to database failed!",
                   [this, patient] { return InsertNewPatientSteps(patient); });
}

// A patient merged into another one is known: his UUID names the remaining
// patient, who takes his records.
uint PatientStore::InsertNewPatientSteps(STU_DB_PATIENT_LIST *patient)
{
    if (!patient || patient->PatientID.isNull()) {
        MLOG("Insert a patient that has GUID is null.");
        return DB_ERR_INSERT_PATIENT;
    }
    const QDateTime now = DatabaseValueCodec::CurrentDateTime();
    const QVariant key = m_connection.Key(patient->PatientID);
    DatabaseTransaction transaction(m_connection, DatabaseTransaction::Immediate);
    QSqlQuery exists = MakeQuery(m_connection);
    // A database that cannot be used (closed, or a server gone) stores
    // nothing: the import must count it as failed, not as a known patient.
    if (!transaction.IsBegun()) {
        MLOG("Insert a patient to database failed!");
        return DB_ERR_INSERT_PATIENT;
    }
    // Rolls back and tells why nothing was stored.
    const auto refuse = [&transaction](uint code) {
        transaction.Rollback();
        MLOG(code == DB_ERR_PATIENT_EXISTS ? "Insert a patient that has existed in database."
                                           : "Insert a patient to database failed!");
        return code;
    };
    if (!exists.prepare(QLatin1String(kSqlSelectPatientById))) {
        // Without the check the patient cannot be told apart from a stored one.
        transaction.Commit();
        return refuse(DB_ERR_PATIENT_EXISTS);
    }
    exists.bindValue(QStringLiteral(":id"), key);
    QSqlQuery insert = MakeQuery(m_connection);
    if (!insert.prepare(QLatin1String(m_connection.Dialect().InsertPatient())))
        return refuse(DB_ERR_INSERT_PATIENT);
    QVariant owner;
    bool checked = exists.exec();
    const bool found = checked && exists.next();
    exists.finish();
    checked = checked && ResolveAlias(m_connection, patient->PatientID, owner);
    if (found || (checked && owner != key))
        return refuse(DB_ERR_PATIENT_EXISTS);
    BindPatientColumns(insert, m_connection, *patient, Codec::ColPatientID, Codec::ColAddress);
    insert.bindValue(Codec::Placeholder(Codec::ColLastUpdateTime),
                     DatabaseValueCodec::DateTimeToDb(now));
    if (!checked || !insert.exec())
        return refuse(DB_ERR_INSERT_PATIENT);
    // Another workstation stored him between the check and the insert.
    if (insert.numRowsAffected() == 0)
        return refuse(DB_ERR_PATIENT_EXISTS);
    if (!transaction.Commit())
        return refuse(DB_ERR_INSERT_PATIENT);
    patient->LastUpdateTime = now;
    return DB_OK;
}

uint PatientStore::DeletePatient(QUuid *id)
{
    return Guarded(DB_ERR_DELETE_PATIENT, "Delete a patient data failed!", [this, id] {
        if (!id || id->isNull()) {
            MLOG("Delete a patient data failed!");
            return static_cast<uint>(DB_ERR_DELETE_PATIENT);
        }
        return Write(DB_ERR_DELETE_PATIENT, "Delete a patient data failed!",
                     [&] { return DeletePatientRows(m_connection, m_connection.Key(*id)); });
    });
}

uint PatientStore::UpdatePatient(STU_DB_PATIENT_LIST *patient)
{
    return Guarded(DB_ERR_UPDATE_PATIENT, "Update a patient failed.", [this, patient] {
        if (!patient || patient->PatientID.isNull()) {
            MLOG("Update a patient that GUID is null.");
            return static_cast<uint>(DB_ERR_UPDATE_PATIENT);
        }
        return Write(
            DB_ERR_UPDATE_PATIENT, "Update a patient failed.",
            [&] {
                QSqlQuery query = MakeQuery(m_connection);
                if (!query.prepare(QLatin1String(kSqlUpdatePatient)))
                    return false;
                BindPatientColumns(query, m_connection, *patient, Codec::ColName,
                                   Codec::ColAddress);
                BindPatientColumns(query, m_connection, *patient, Codec::ColPatientID,
                                   Codec::ColPatientID);
                return query.exec();
            },
            patient->PatientID);
    });
}

uint PatientStore::GetAllPatientBrief(STU_DB_PATIENT_LIST **result)
{
    return Guarded(DB_ERR_GET_ALL_PATIENT_BRIEF, "Get Patient Brief failed.", [this, result] {
        if (result)
            *result = nullptr;
        RecordChainBuilder<STU_DB_PATIENT_LIST> chain;
        DatabaseTransaction transaction(m_connection, DatabaseTransaction::Deferred);
        const StoreDialect &dialect = m_connection.Dialect();
        const std::unique_ptr<PreparedStatement> rows =
            dialect.Prepare(m_connection.db, dialect.SelectAllPatientBrief());
        bool ok = result && transaction.IsBegun() && rows->IsValid();
        // The brief query's columns, mapped onto the table's, then the tally's.
        const int columns[] = {Codec::ColPatientID, Codec::ColDeviceSN, Codec::ColIdInDevice,
                               Codec::ColName,      Codec::ColReadFlag, Codec::ColLastUpdateTime};
        const int tally = static_cast<int>(std::size(columns));
        PreparedStatement::StepResult step = PreparedStatement::Error;
        while (ok && (step = rows->Step()) == PreparedStatement::Row) {
            STU_DB_PATIENT_LIST *patient = new STU_DB_PATIENT_LIST();
            chain.Append(patient);
            for (int i = 0; i < tally; ++i)
                Codec::FromDb(*patient, columns[i], rows->Value(i));
            ReadRecordTally(*patient, rows->Value(tally), rows->Value(tally + 1),
                            rows->Value(tally + 2), rows->Value(tally + 3));
        }
        ok = ok && step == PreparedStatement::Done && transaction.Commit();
        if (!ok) {
            MLOG("Get Patient Brief failed.");
            return static_cast<uint>(DB_ERR_GET_ALL_PATIENT_BRIEF);
        }
        *result = chain.Release();
        return static_cast<uint>(DB_OK);
    });
}

uint PatientStore::GetPatientDetail(STU_DB_PATIENT_LIST *patient)
{
    return ReadPatient(patient, true);
}

uint PatientStore::GetOnePatientBriefInfo(STU_DB_PATIENT_LIST *patient)
{
    return ReadPatient(patient, false);
}

uint PatientStore::ReadPatient(STU_DB_PATIENT_LIST *patient, bool complete)
{
    const char *const failed =
        complete ? "Get Patient detail failed." : "Get Patient brief failed.";
    return Guarded(DB_ERR_GET_PATIENT, failed, [this, patient, complete, failed] {
        if (!patient || patient->PatientID.isNull()) {
            MLOG(complete ? "GetPatientDetail that GUID is null."
                          : "GetOnePatientBriefInfo that GUID is null.");
            return static_cast<uint>(DB_ERR_GET_PATIENT);
        }
        if (!ReadPatientRow(*patient, complete)) {
            MLOG(failed);
            return static_cast<uint>(DB_ERR_GET_PATIENT);
        }
        return static_cast<uint>(DB_OK);
    });
}

// A brief record is asked for after an import, which may have stored the
// records under the patient the given one was merged into: it answers for him.
bool PatientStore::ReadPatientRow(STU_DB_PATIENT_LIST &patient, bool complete)
{
    DatabaseTransaction transaction(m_connection, DatabaseTransaction::Deferred);
    QSqlQuery query = MakeQuery(m_connection);
    QVariant key = m_connection.Key(patient.PatientID);
    bool ok = transaction.IsBegun() &&
              (complete || ResolveAlias(m_connection, patient.PatientID, key)) &&
              ExecWithId(query, complete ? kSqlSelectPatientDetail : kSqlSelectOnePatientBrief,
                         ":PatientID", key) &&
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
                           {Codec::ColPatientID, Codec::ColDeviceSN, Codec::ColIdInDevice,
                            Codec::ColName, Codec::ColReadFlag, Codec::ColLastUpdateTime});
        const int tally = Codec::ColumnCount;
        ReadRecordTally(row, query.value(tally), query.value(tally + 1), query.value(tally + 2),
                        query.value(tally + 3));
    }
    query.finish();
    ok = ok && transaction.Commit();
    if (ok)
        patient = row;
    return ok;
}

uint PatientStore::InsertNibpData(QUuid *id, STU_DB_NIBP_DATA_LIST *chain)
{
    return Guarded(DB_ERR_INSERT_NIBP, "Insert NIBP data to database failed!", [this, id, chain] {
        return MeasureOperations::Insert(m_connection, id, chain, m_uLastStoredRecords);
    });
}

uint PatientStore::InsertSPO2Data(QUuid *id, STU_DB_SPO2_DATA_LIST *chain)
{
    return Guarded(DB_ERR_INSERT_SPO2, "Insert SPO2 data to database failed!", [this, id, chain] {
        return MeasureOperations::Insert(m_connection, id, chain, m_uLastStoredRecords);
    });
}

uint PatientStore::InsertTempData(QUuid *id, STU_DB_TEMP_DATA_LIST *chain)
{
    return Guarded(DB_ERR_INSERT_TEMP, "Insert TEMP data to database failed!", [this, id, chain] {
        return MeasureOperations::Insert(m_connection, id, chain, m_uLastStoredRecords);
    });
}

uint PatientStore::GetNibpDataList(QUuid *id, STU_DB_NIBP_DATA_LIST **result)
{
    return Guarded(DB_ERR_GET_NIBP, "Get NIBP Data failed.",
                   [this, id, result] { return MeasureOperations::Get(m_connection, id, result); });
}

uint PatientStore::GetSPO2DataList(QUuid *id, STU_DB_SPO2_DATA_LIST **result)
{
    return Guarded(DB_ERR_GET_SPO2, "Get SPO2 Data failed.",
                   [this, id, result] { return MeasureOperations::Get(m_connection, id, result); });
}

uint PatientStore::GetTempDataList(QUuid *id, STU_DB_TEMP_DATA_LIST **result)
{
    return Guarded(DB_ERR_GET_TEMP, "Get TEMP Data failed.",
                   [this, id, result] { return MeasureOperations::Get(m_connection, id, result); });
}

uint PatientStore::SearchPatientToMerge(uint keyBits, STU_DB_PATIENT_LIST *patient,
                                        STU_DB_PATIENT_LIST **result)
{
    return Guarded(DB_ERR_SEARCH_TO_MERGE, "Search Patient to merge failed.",
                   [this, keyBits, patient, result] {
                       return PatientMerge::FindCandidates(m_connection, keyBits, patient, result);
                   });
}

uint PatientStore::MergePatientData(QUuid *remaining, QUuid *removed)
{
    return Guarded(DB_ERR_MERGE, "Merge patient data failed!", [this, remaining, removed] {
        if (!remaining || !removed || remaining->isNull() || removed->isNull()) {
            MLOG("Merge patient data that new guid or old guid is null.");
            return static_cast<uint>(DB_ERR_MERGE);
        }
        if (!PatientMerge::Merge(m_connection, *remaining, *removed)) {
            MLOG("Merge patient data failed!");
            return static_cast<uint>(DB_ERR_MERGE);
        }
        return static_cast<uint>(DB_OK);
    });
}

uint PatientStore::UpdateLastImportTime(QUuid *id)
{
    return Guarded(DB_ERR_UPDATE_LAST_IMPORT_TIME, "Update last import time failed!", [this, id] {
        if (!id || id->isNull()) {
            MLOG("Update last import time failed!");
            return static_cast<uint>(DB_ERR_UPDATE_LAST_IMPORT_TIME);
        }
        return Write(
            DB_ERR_UPDATE_LAST_IMPORT_TIME, "Update last import time failed!",
            [&] {
                return UpdateLastUpdateTimeRow(m_connection, m_connection.Key(*id),
                                               DatabaseValueCodec::CurrentDateTime());
            },
            *id);
    });
}

uint PatientStore::UpdateBrowserFlag(QUuid *id, bool read)
{
    return Guarded(DB_ERR_UPDATE_BROWSER_FLAG, "Update browser flag failed!", [this, id, read] {
        if (!id || id->isNull()) {
            MLOG("Update browser flag failed!");
            return static_cast<uint>(DB_ERR_UPDATE_BROWSER_FLAG);
        }
        return Write(
            DB_ERR_UPDATE_BROWSER_FLAG, "Update browser flag failed!",
            [&] { return UpdateReadFlagRow(m_connection, m_connection.Key(*id), read); }, *id);
    });
}

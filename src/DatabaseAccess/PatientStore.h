#pragma once

#include "IVirtualDataAccessInterface.h"
#include "StoreConnection.h"

#include <QSqlError>

#include <functional>
#include <memory>

// The patient database's operations, the same on every kind of database:
// what differs (statements, key form, transaction begin, how a record chain
// skips its duplicates) is the StoreDialect chosen when the store is made.
// The openers (DatabaseAccessSQLite, DatabaseAccessPostgreSQL) open the
// connection and prepare the schema. Used by one thread at a time; every
// operation is a transaction of its own, or a savepoint of a shared one.
class PatientStore : public IVirtualDataAccessInterface
{
public:
    ~PatientStore() override;
    PatientStore(const PatientStore &) = delete;
    PatientStore &operator=(const PatientStore &) = delete;

    uint SelfCheck() override;
    uint CreateTables() override;
    uint InitializeTables() override;
    uint InsertDemoData() override;
    uint InsertNewPatient(STU_DB_PATIENT_LIST *patient) override;
    uint DeletePatient(QUuid *id) override;
    uint UpdatePatient(STU_DB_PATIENT_LIST *patient) override;
    uint GetAllPatientBrief(STU_DB_PATIENT_LIST **result) override;
    uint GetPatientDetail(STU_DB_PATIENT_LIST *patient) override;
    uint InsertNibpData(QUuid *id, STU_DB_NIBP_DATA_LIST *chain) override;
    uint GetNibpDataList(QUuid *id, STU_DB_NIBP_DATA_LIST **result) override;
    uint InsertTempData(QUuid *id, STU_DB_TEMP_DATA_LIST *chain) override;
    uint GetTempDataList(QUuid *id, STU_DB_TEMP_DATA_LIST **result) override;
    uint InsertSPO2Data(QUuid *id, STU_DB_SPO2_DATA_LIST *chain) override;
    uint GetSPO2DataList(QUuid *id, STU_DB_SPO2_DATA_LIST **result) override;
    uint SearchPatientToMerge(uint keyBits, STU_DB_PATIENT_LIST *patient,
                              STU_DB_PATIENT_LIST **result) override;
    uint MergePatientData(QUuid *remaining, QUuid *removed) override;
    uint UpdateLastImportTime(QUuid *id) override;
    uint UpdateBrowserFlag(QUuid *id, bool read) override;
    uint GetOnePatientBriefInfo(STU_DB_PATIENT_LIST *patient) override;
    uint GetOpenResult() const override { return m_uOpenResult; }
    QString GetOpenProblem() const override { return m_strOpenProblem; }
    uint LastStoredRecords() const override { return m_uLastStoredRecords; }
    bool BeginSharedTransaction() override;
    bool EndSharedTransaction() override;

    // The connection's name, fixed so that one store exists at a time.
    static const char *ConnectionName();

protected:
    explicit PatientStore(std::unique_ptr<StoreDialect> dialect);

    // Called before every operation; a store whose connection can be lost
    // connects again here.
    virtual void ReconnectIfLost() {}

    enum class SchemaState
    {
        Ready,
        // The schema cannot even be read (LastError of the schema says why).
        Unreadable,
        // A database without tables whose tables could not be created.
        NotCreated,
        // Tables it lacks could not be added.
        NotCompleted
    };
    // Reads the schema; builds it with the demo data when there is none,
    // else adds what is missing.
    SchemaState PrepareSchema(QSqlError &readError);
    void CloseDatabase();

    StoreConnection m_connection;
    QSqlDatabase &m_db;
    uint m_uOpenResult = DB_OK;
    QString m_strOpenProblem;

private:
    uint m_uLastStoredRecords = 0;

    template <typename Operation>
    uint Guarded(uint failCode, const char *failMessage, Operation &&operation);
    // Runs the steps in a writing transaction; on failure logs the message
    // and returns the code. A change to one patient names him.
    uint Write(uint failCode, const char *failMessage, const std::function<bool()> &steps,
               const QUuid &changedPatient = QUuid());
    uint InsertNewPatientSteps(STU_DB_PATIENT_LIST *patient);
    uint ReadPatient(STU_DB_PATIENT_LIST *patient, bool complete);
    bool ReadPatientRow(STU_DB_PATIENT_LIST &patient, bool complete);
};

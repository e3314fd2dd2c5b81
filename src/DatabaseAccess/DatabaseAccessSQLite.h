#pragma once

#include "IVirtualDataAccessInterface.h"

#include <QSqlDatabase>

// The patient database in the SQLite file "Data.db" of the settings' database
// directory, reached through Qt's "QSQLITE" driver on the connection
// "MyDBConnection". The constructor opens the file (building the schema and
// the demo data for a new or empty one, adding tables an older file lacks);
// the destructor closes it. Used by one thread at a time; every operation is a
// transaction of its own. The operations are written once for both kinds of
// database (StoreDialect holds what differs); DatabaseAccessPostgreSQL opens
// a server instead of the file.
class DatabaseAccessSQLite : public IVirtualDataAccessInterface
{
public:
    DatabaseAccessSQLite();
    ~DatabaseAccessSQLite() override;
    DatabaseAccessSQLite(const DatabaseAccessSQLite &) = delete;
    DatabaseAccessSQLite &operator=(const DatabaseAccessSQLite &) = delete;

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

    virtual uint InsertDemoNibpData(QUuid *id);
    virtual uint InsertDemoSpo2Data(QUuid *id);
    virtual uint InsertDemoTempData(QUuid *id);

    // The connection's name, fixed so that one store exists at a time.
    static const char *ConnectionName();

protected:
    // For a store that opens a database of another kind itself.
    struct NoDatabase
    {
    };
    explicit DatabaseAccessSQLite(NoDatabase);
    // Called before every operation; a store whose connection can be lost
    // connects again here.
    virtual void ReconnectIfLost() {}

    QSqlDatabase m_db;
    uint m_uOpenResult = DB_OK;
    QString m_strOpenProblem;

private:
    template <typename Operation>
    uint Guarded(uint failCode, const char *failMessage, Operation &&operation);
    uint OpenDatabase();
    uint PrepareSchema(const QString &filePath, bool isNewFile);
    void CloseDatabase();
    uint InsertNewPatientSteps(STU_DB_PATIENT_LIST *patient);
    bool ReadPatientRow(STU_DB_PATIENT_LIST &patient, bool complete);
    uint SearchPatientToMergeSteps(uint keyBits, STU_DB_PATIENT_LIST *patient,
                                   STU_DB_PATIENT_LIST **result);
    bool MergePatientRows(const QVariant &remaining, const QVariant &removed);
};

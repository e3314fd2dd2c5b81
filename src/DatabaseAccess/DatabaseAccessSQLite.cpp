#include "DatabaseAccessSQLite.h"

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
    return "MyDBConnection";
}

uint DatabaseAccessSQLite::OpenDatabase()
{
    return DB_ERR_OPEN;
}
void DatabaseAccessSQLite::CloseDatabase() {}
uint DatabaseAccessSQLite::SelfCheck()
{
    return DB_ERR_SELF_CHECK;
}
uint DatabaseAccessSQLite::CreateTables()
{
    return DB_ERR_CREATE_TABLES;
}
uint DatabaseAccessSQLite::InitializeTables()
{
    return CreateTables();
}
uint DatabaseAccessSQLite::InsertDemoData()
{
    return DB_OK;
}
uint DatabaseAccessSQLite::InsertNewPatient(STU_DB_PATIENT_LIST *)
{
    return DB_ERR_INSERT_PATIENT;
}
uint DatabaseAccessSQLite::DeletePatient(QUuid *)
{
    return DB_ERR_DELETE_PATIENT;
}
uint DatabaseAccessSQLite::UpdatePatient(STU_DB_PATIENT_LIST *)
{
    return DB_ERR_UPDATE_PATIENT;
}
uint DatabaseAccessSQLite::GetAllPatientBrief(STU_DB_PATIENT_LIST **)
{
    return DB_ERR_GET_ALL_PATIENT_BRIEF;
}
uint DatabaseAccessSQLite::GetPatientDetail(STU_DB_PATIENT_LIST *)
{
    return DB_ERR_GET_PATIENT;
}
uint DatabaseAccessSQLite::InsertNibpData(QUuid *, STU_DB_NIBP_DATA_LIST *)
{
    return DB_ERR_INSERT_NIBP;
}
uint DatabaseAccessSQLite::GetNibpDataList(QUuid *, STU_DB_NIBP_DATA_LIST **)
{
    return DB_ERR_GET_NIBP;
}
uint DatabaseAccessSQLite::InsertTempData(QUuid *, STU_DB_TEMP_DATA_LIST *)
{
    return DB_ERR_INSERT_TEMP;
}
uint DatabaseAccessSQLite::GetTempDataList(QUuid *, STU_DB_TEMP_DATA_LIST **)
{
    return DB_ERR_GET_TEMP;
}
uint DatabaseAccessSQLite::InsertSPO2Data(QUuid *, STU_DB_SPO2_DATA_LIST *)
{
    return DB_ERR_INSERT_SPO2;
}
uint DatabaseAccessSQLite::GetSPO2DataList(QUuid *, STU_DB_SPO2_DATA_LIST **)
{
    return DB_ERR_GET_SPO2;
}
uint DatabaseAccessSQLite::SearchPatientToMerge(uint, STU_DB_PATIENT_LIST *, STU_DB_PATIENT_LIST **)
{
    return DB_ERR_SEARCH_TO_MERGE;
}
uint DatabaseAccessSQLite::MergePatientData(QUuid *, QUuid *)
{
    return DB_ERR_MERGE;
}
uint DatabaseAccessSQLite::UpdateLastImportTime(QUuid *)
{
    return DB_ERR_UPDATE_LAST_IMPORT_TIME;
}
uint DatabaseAccessSQLite::UpdateBrowserFlag(QUuid *, bool)
{
    return DB_ERR_UPDATE_BROWSER_FLAG;
}
uint DatabaseAccessSQLite::GetOnePatientBriefInfo(STU_DB_PATIENT_LIST *)
{
    return DB_ERR_GET_PATIENT;
}
uint DatabaseAccessSQLite::InsertDemoNibpData(QUuid *)
{
    return DB_OK;
}
uint DatabaseAccessSQLite::InsertDemoSpo2Data(QUuid *)
{
    return DB_OK;
}
uint DatabaseAccessSQLite::InsertDemoTempData(QUuid *)
{
    return DB_OK;
}

#pragma once

#include "DatabaseRecords.h"

#include <QString>
#include <QUuid>

class QSqlDriver;

// The patient database as the database service sees it. Every operation runs
// in a transaction of its own, logs its failures and returns a result code
// (DB_OK or a DB_ERR_ code). Result chains are created with new and handed to
// the caller; a failed reading operation leaves its result pointer null.
class IVirtualDataAccessInterface
{
public:
    virtual ~IVirtualDataAccessInterface();

    virtual uint SelfCheck() = 0;
    virtual uint CreateTables() = 0;
    virtual uint InitializeTables() = 0;
    virtual uint InsertDemoData() = 0;
    virtual uint InsertNewPatient(STU_DB_PATIENT_LIST *patient) = 0;
    virtual uint DeletePatient(QUuid *id) = 0;
    virtual uint UpdatePatient(STU_DB_PATIENT_LIST *patient) = 0;
    virtual uint GetAllPatientBrief(STU_DB_PATIENT_LIST **result) = 0;
    virtual uint GetPatientDetail(STU_DB_PATIENT_LIST *patient) = 0;
    virtual uint InsertNibpData(QUuid *id, STU_DB_NIBP_DATA_LIST *chain) = 0;
    virtual uint GetNibpDataList(QUuid *id, STU_DB_NIBP_DATA_LIST **result) = 0;
    virtual uint InsertTempData(QUuid *id, STU_DB_TEMP_DATA_LIST *chain) = 0;
    virtual uint GetTempDataList(QUuid *id, STU_DB_TEMP_DATA_LIST **result) = 0;
    virtual uint InsertSPO2Data(QUuid *id, STU_DB_SPO2_DATA_LIST *chain) = 0;
    virtual uint GetSPO2DataList(QUuid *id, STU_DB_SPO2_DATA_LIST **result) = 0;
    virtual uint SearchPatientToMerge(uint keyBits, STU_DB_PATIENT_LIST *patient,
                                      STU_DB_PATIENT_LIST **result) = 0;
    virtual uint MergePatientData(QUuid *remaining, QUuid *removed) = 0;
    virtual uint UpdateLastImportTime(QUuid *id) = 0;
    virtual uint UpdateBrowserFlag(QUuid *id, bool read) = 0;
    virtual uint GetOnePatientBriefInfo(STU_DB_PATIENT_LIST *patient) = 0;

    // How opening the database went: DB_OK, or the code of the step that
    // failed together with a sentence for the user that names the database
    // and says in plain words what is wrong with it (empty after DB_OK).
    virtual uint GetOpenResult() const = 0;
    virtual QString GetOpenProblem() const = 0;

    // Emits notification() when another workstation has changed the
    // patient data; null for a database no other workstation shares.
    virtual QSqlDriver *ChangeNotifier() const { return nullptr; }
    // True once after a lost connection to a shared database has been made
    // again: what others changed meanwhile was never told.
    virtual bool TakeReconnected() { return false; }

    // How many records of its chain the last successful record insert
    // stored; the others were there already.
    virtual uint LastStoredRecords() const { return 0; }

    // Lets the operations until EndSharedTransaction() share one
    // transaction, each in a savepoint of its own so that a failing one
    // still fails alone; false where the database does not allow it (then
    // each keeps its own). The end commits; false if that failed.
    virtual bool BeginSharedTransaction() { return false; }
    virtual bool EndSharedTransaction() { return true; }
};

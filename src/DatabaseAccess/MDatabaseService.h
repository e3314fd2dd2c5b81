#pragma once

#include "DatabaseRecords.h"
#include "ImportRunTally.h"

#include <QObject>
#include <QUuid>

class IVirtualDataAccessInterface;
class QThread;

// The only door to the patient database. Owns the store and runs every work
// item on a thread of its own, one at a time in posting order, answering with
// a success signal and, for every non-zero result, OnDatabaseProcessResult.
//
// Ownership: the pointers a work item brings are handed on with the success
// signal that carries them; the receiver of a signal owns every pointer it
// brings. Whatever no signal hands on is freed here.
class MDatabaseService : public QObject
{
    Q_OBJECT

public:
    // The process-wide service, created by the first call (GUI thread).
    static MDatabaseService *GetInstance();

    // Stops the thread, closes the store and lets GetInstance() build a new
    // service. In the program the instance lives until the process ends.
    ~MDatabaseService() override;
    MDatabaseService(const MDatabaseService &) = delete;
    MDatabaseService &operator=(const MDatabaseService &) = delete;

    // Moves the service onto its own thread and starts it; the store is
    // opened there, before the first work item runs, so that a locked or
    // slow database never holds up the window. Call once, after connecting
    // to OnDatabaseOpenResult.
    void Start();

signals:
    void OnDatabaseProcessResult(uint iWorkType, uint iErrorCode);
    void OnDatabaseGetAllPatientBriefSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnDatabaseGetOnePatientDetailSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnDatabaseUpdateOnePatientDetailInfoSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnDatabaseGetNIBPDataListSucc(QUuid *pGUID, STU_DB_NIBP_DATA_LIST *pDataList);
    void OnDatabaseGetSPO2DataListSucc(QUuid *pGUID, STU_DB_SPO2_DATA_LIST *pDataList);
    void OnDatabaseGetTEMPDataListSucc(QUuid *pGUID, STU_DB_TEMP_DATA_LIST *pDataList);
    void OnDatabaseDeletePatientSucc(QUuid *pGUID);
    void OnDatabaseInsertNewPatientSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnSearchPatientToMergeSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnMergePatientDataSucc(QUuid *puuidNew, QUuid *puuidOld);
    void OnDatabaseUpdateBrowserFlagSucc(QUuid *pGUID);
    void OnDatabaseGetOnePatientBriefSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnImportPatientDataFinished(QUuid *pGUID);
    // Emitted once, on the database thread, when the store has been opened
    // after Start(): DB_OK with an empty reason, or the store's failure code
    // with a sentence for the user that names the database and says what is
    // wrong. Every work item runs after it.
    void OnDatabaseOpenResult(uint iErrorCode, const QString &strReason);
    // Another workstation sharing the database has changed patients or
    // their records, or may have while the server could not be reached; the
    // patient list should be read again.
    void OnDatabaseChangedElsewhere();
    // Another workstation changed this one patient only; the receiver owns pGUID.
    void OnPatientChangedElsewhere(QUuid *pGUID);
    // What run iRun brought: the patients and records stored as new, and the
    // records skipped as already stored. Sent just before OnImportRunStored
    // for the same run.
    void OnImportRunCounted(uint iRun, uint iNewPatients, uint iNewRecords, uint iSkippedRecords);
    // Every work item of the import run iRun has been handled and stored; the
    // counts say how many of its new patients and records could not be stored.
    void OnImportRunStored(uint iRun, uint iPatientsNotStored, uint iRecordsNotStored);

public slots:
    // Runs one work item (DB_WORK_ type, parameters as pointer-sized integers).
    void ProcessDatabaseTaskProc(uint iWorkType, quintptr wParam, quintptr lParam);
    // Markers around the work items of one import run, posted like them.
    void BeginImportRun(uint iRun);
    void EndImportRun(uint iRun);

private:
    MDatabaseService();
    void OpenStore();
    void WatchOtherWorkstations();

    void ShareTransactionFor(uint iWorkType);
    void EndSharedTransaction();
    uint RunWorkItem(uint iWorkType, quintptr wParam, quintptr lParam);
    uint ProcessInserNewPatient(quintptr wParam);
    uint ProcessDeletePatient(quintptr wParam);
    uint ProcessUpdatePatient(quintptr wParam);
    uint ProcessGetAllPatientBrief();
    uint ProcessInsertNIBPData(quintptr wParam, quintptr lParam);
    uint ProcessGetNIBPData(quintptr wParam);
    uint ProcessInsertTEMPData(quintptr wParam, quintptr lParam);
    uint ProcessGetTEMPData(quintptr wParam);
    uint ProcessInsertSPO2Data(quintptr wParam, quintptr lParam);
    uint ProcessGetSPO2Data(quintptr wParam);
    uint ProcessGetOnePatientDetail(quintptr wParam);
    uint ProcessSearchPatientToMerge(quintptr wParam, quintptr lParam);
    uint ProcessMergePatientData(quintptr wParam, quintptr lParam);
    uint ProcessGetOnePatientBrief(quintptr wParam);
    uint ProcessUpdateBrowserFlag(quintptr wParam, quintptr lParam);

    static MDatabaseService *s_pInstance;

    IVirtualDataAccessInterface *m_pDataAccess = nullptr;
    QThread *m_pThread = nullptr;
    ImportRunTally m_importRunTally;
    // Whether the import items now running share one transaction, and how many.
    static constexpr uint kMaxSharedItems = 200;
    bool m_bShared = false;
    uint m_iSharedItems = 0;
};

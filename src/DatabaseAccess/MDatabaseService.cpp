#include "MDatabaseService.h"

#include "DatabaseAccessPostgreSQL.h"
#include "DatabaseAccessSQLite.h"
#include "MLog.h"
#include "MSettings.h"
#include "RecordChainPtr.h"

#include <QSqlDriver>
#include <QThread>
#include <QTimer>

#include <memory>
#include <new>
#include <type_traits>

namespace {

// Frees a whole chain (or a single record) when no signal has taken it.
template <typename Record> using ChainPtr = RecordChainPtr<Record>;
using UuidPtr = std::unique_ptr<QUuid>;

template <typename Record> ChainPtr<Record> AdoptChain(quintptr value)
{
    return ChainPtr<Record>(reinterpret_cast<Record *>(value));
}

UuidPtr AdoptUuid(quintptr value)
{
    return UuidPtr(reinterpret_cast<QUuid *>(value));
}

using Store = IVirtualDataAccessInterface;

// The holder of a work item's record or UUID.
template <typename Item>
using ItemPtr = std::conditional_t<std::is_same_v<Item, QUuid>, UuidPtr, ChainPtr<Item>>;

// Runs one store operation on the record or UUID wParam points to and, when
// it succeeds, hands that on with the success signal.
template <typename Item>
uint PassOnSuccess(MDatabaseService &service, void (MDatabaseService::*succeeded)(Item *),
                   Store &store, uint (Store::*operation)(Item *), quintptr wParam,
                   const char *caller)
{
    ItemPtr<Item> item(reinterpret_cast<Item *>(wParam));
    if (!item) {
        MLOG(QLatin1String(caller) + QLatin1String(", wParam is null"));
        return DB_ERR_NULL_PARAMETER;
    }
    const uint code = (store.*operation)(item.get());
    if (code == DB_OK)
        emit(service.*succeeded)(item.release());
    return code;
}

// Stores one kind of record chain under the patient wParam points to; both
// are freed afterwards. The UUID is left to the caller.
template <typename Record>
uint InsertRecords(Store &store, uint (Store::*insert)(QUuid *, Record *), const UuidPtr &uuid,
                   quintptr lParam, const char *caller)
{
    auto chain = AdoptChain<Record>(lParam);
    if (!uuid || !chain) {
        MLOG(QLatin1String(caller) + QLatin1String(", wParam is null"));
        return DB_ERR_NULL_PARAMETER;
    }
    return (store.*insert)(uuid.get(), chain.get());
}

// Reads one kind of record list of the patient wParam points to and hands
// the UUID and the list on with the success signal.
template <typename Record>
uint GetRecords(MDatabaseService &service, void (MDatabaseService::*succeeded)(QUuid *, Record *),
                Store &store, uint (Store::*get)(QUuid *, Record **), quintptr wParam,
                const char *caller)
{
    UuidPtr uuid = AdoptUuid(wParam);
    if (!uuid || uuid->isNull()) {
        MLOG(QLatin1String(caller) + QLatin1String(", wParam is null"));
        return DB_ERR_NULL_PARAMETER;
    }
    Record *head = nullptr;
    const uint code = (store.*get)(uuid.get(), &head);
    ChainPtr<Record> chain(head);
    if (code == DB_OK)
        emit(service.*succeeded)(uuid.release(), chain.release());
    return code;
}

// A server URI in the database setting chooses the shared server.
IVirtualDataAccessInterface *NewStore()
{
    if (DatabaseServerAddress::IsServerUri(MSettings::GetInstance()->GetDatabaseFilePath()))
        return new (std::nothrow) DatabaseAccessPostgreSQL();
    return new (std::nothrow) DatabaseAccessSQLite();
}

} // namespace

MDatabaseService *MDatabaseService::s_pInstance = nullptr;

MDatabaseService *MDatabaseService::GetInstance()
{
    // First call on the GUI thread during start-up, so no lock is needed.
    if (!s_pInstance)
        s_pInstance = new MDatabaseService();
    return s_pInstance;
}

MDatabaseService::MDatabaseService()
{
    RegisterDatabaseMetaTypes();
}

void MDatabaseService::OpenStore()
{
    m_pDataAccess = NewStore();
    if (!m_pDataAccess) {
        MLOG("memory not enough");
        emit OnDatabaseOpenResult(DB_ERR_UNSUPPORTED,
                                  tr("The patient database cannot be opened: there is not enough "
                                     "memory."));
        return;
    }
    MLOG("database service started.");
    emit OnDatabaseOpenResult(m_pDataAccess->GetOpenResult(), m_pDataAccess->GetOpenProblem());
    WatchOtherWorkstations();
}

void MDatabaseService::WatchOtherWorkstations()
{
    QSqlDriver *notifier = m_pDataAccess->ChangeNotifier();
    if (!notifier)
        return;
    // An import elsewhere commits many work items in a row: they are told
    // here as one change, a moment after the first. A notice naming one
    // patient concerns him alone; this workstation's own notices are no news.
    auto *pending = new QTimer(this);
    pending->setSingleShot(true);
    pending->setInterval(300);
    connect(pending, &QTimer::timeout, this, &MDatabaseService::OnDatabaseChangedElsewhere);
    connect(notifier, &QSqlDriver::notification, pending,
            [this, pending](const QString &, QSqlDriver::NotificationSource source,
                            const QVariant &payload) {
                const QUuid patient = QUuid::fromString(payload.toString());
                if (source != QSqlDriver::OtherSource)
                    return;
                if (!patient.isNull())
                    emit OnPatientChangedElsewhere(new QUuid(patient));
                else if (!pending->isActive())
                    pending->start();
            });
}

MDatabaseService::~MDatabaseService()
{
    // The thread stops first so that no work item is running while the store
    // goes away.
    if (m_pThread) {
        if (m_pThread->isRunning()) {
            m_pThread->quit();
            m_pThread->wait();
        }
        delete m_pThread;
        m_pThread = nullptr;
    }
    delete m_pDataAccess;
    m_pDataAccess = nullptr;
    if (s_pInstance == this)
        s_pInstance = nullptr;
    MLOG("database service stopped.");
}

void MDatabaseService::Start()
{
    if (m_pThread)
        return;
    m_pThread = new QThread();
    moveToThread(m_pThread);
    // However the thread is stopped, what the last items stored is committed
    // on it, where the connection lives, before it ends.
    connect(m_pThread, &QThread::finished, this, &MDatabaseService::EndSharedTransaction,
            Qt::DirectConnection);
    m_pThread->start(QThread::InheritPriority);
    // Queued before any work item can be, so it runs first.
    QMetaObject::invokeMethod(this, &MDatabaseService::OpenStore, Qt::QueuedConnection);
}

void MDatabaseService::ProcessDatabaseTaskProc(uint iWorkType, quintptr wParam, quintptr lParam)
{
    // Counted first: running the item frees its records.
    const uint records = ImportRunTally::RecordCount(iWorkType, lParam);
    uint code = DB_ERR_UNSUPPORTED;
    if (m_pDataAccess) {
        ShareTransactionFor(iWorkType);
        code = RunWorkItem(iWorkType, wParam, lParam);
    }
    m_importRunTally.Note(iWorkType, code, records,
                          m_pDataAccess ? m_pDataAccess->LastStoredRecords() : 0u);
    if (code != DB_OK)
        emit OnDatabaseProcessResult(iWorkType, code);
    // No change made elsewhere while the server could not be reached was
    // told: the views read again as after one.
    if (m_pDataAccess && m_pDataAccess->TakeReconnected())
        emit OnDatabaseChangedElsewhere();
}

void MDatabaseService::BeginImportRun(uint iRun)
{
    m_importRunTally.Begin(iRun);
}

void MDatabaseService::EndImportRun(uint iRun)
{
    EndSharedTransaction();
    const bool counted = m_importRunTally.Run() == iRun;
    m_importRunTally.End();
    const ImportRunTally &t = m_importRunTally;
    emit OnImportRunCounted(iRun, counted ? t.NewPatients() : 0u, counted ? t.NewRecords() : 0u,
                            counted ? t.SkippedRecords() : 0u);
    emit OnImportRunStored(iRun, counted ? t.PatientsNotStored() : 0u,
                           counted ? t.RecordsNotStored() : 0u);
}

// The items of an import come in a stream, each of them a writing
// transaction whose commit waits for the disk: several share one instead,
// each in a savepoint of its own, so that a failing one still fails alone.
// The shared one ends when the items queued at its begin have run (or too
// many have), and before any other kind of work.
void MDatabaseService::ShareTransactionFor(uint iWorkType)
{
    const bool import =
        iWorkType == DB_WORK_INSERT_NEW_PATIENT || iWorkType == DB_WORK_INSERT_NIBP_DATA ||
        iWorkType == DB_WORK_INSERT_SPO2_DATA || iWorkType == DB_WORK_INSERT_TEMP_DATA;
    if (!import || m_iSharedItems >= kMaxSharedItems)
        EndSharedTransaction();
    if (import && !m_bShared && m_pDataAccess->BeginSharedTransaction()) {
        m_bShared = true;
        m_importRunTally.SharedTransactionBegun();
        QMetaObject::invokeMethod(this, &MDatabaseService::EndSharedTransaction,
                                  Qt::QueuedConnection);
    }
    if (m_bShared)
        ++m_iSharedItems;
}

void MDatabaseService::EndSharedTransaction()
{
    if (!m_bShared)
        return;
    m_bShared = false;
    m_iSharedItems = 0;
    m_importRunTally.SharedTransactionEnded(m_pDataAccess->EndSharedTransaction());
}

uint MDatabaseService::RunWorkItem(uint iWorkType, quintptr wParam, quintptr lParam)
{
    switch (iWorkType) {
    case DB_WORK_INSERT_NEW_PATIENT:
        return ProcessInserNewPatient(wParam);
    case DB_WORK_DELETE_PATIENT:
        return ProcessDeletePatient(wParam);
    case DB_WORK_UPDATE_PATIENT:
        return ProcessUpdatePatient(wParam);
    case DB_WORK_GET_ALL_PATIENT_BRIEF:
        return ProcessGetAllPatientBrief();
    case DB_WORK_INSERT_NIBP_DATA:
        return ProcessInsertNIBPData(wParam, lParam);
    case DB_WORK_GET_NIBP_DATA:
        return ProcessGetNIBPData(wParam);
    case DB_WORK_INSERT_TEMP_DATA:
        return ProcessInsertTEMPData(wParam, lParam);
    case DB_WORK_GET_TEMP_DATA:
        return ProcessGetTEMPData(wParam);
    case DB_WORK_INSERT_SPO2_DATA:
        return ProcessInsertSPO2Data(wParam, lParam);
    case DB_WORK_GET_SPO2_DATA:
        return ProcessGetSPO2Data(wParam);
    case DB_WORK_GET_ONE_PATIENT_DETAIL:
        return ProcessGetOnePatientDetail(wParam);
    case DB_WORK_SEARCH_PATIENT_TO_MERGE:
        return ProcessSearchPatientToMerge(wParam, lParam);
    case DB_WORK_MERGE_PATIENT_DATA:
        return ProcessMergePatientData(wParam, lParam);
    case DB_WORK_GET_ONE_PATIENT_BRIEF:
        return ProcessGetOnePatientBrief(wParam);
    case DB_WORK_UPDATE_BROWSER_FLAG:
        return ProcessUpdateBrowserFlag(wParam, lParam);
    default:
        // The parameters of an unknown item cannot be freed: their types are unknown.
        MLOG("Database don't support this function, maybe have memory leak here!");
        return DB_ERR_UNSUPPORTED;
    }
}

// Each handler adopts the parameters it was given; whatever a signal hands on
// is released from the holder, the rest is freed when the handler returns.
// OnDatabaseProcessResult carries no pointer, so nothing relies on them.

uint MDatabaseService::ProcessInserNewPatient(quintptr wParam)
{
    // A patient that is not stored must not be listed.
    return PassOnSuccess(*this, &MDatabaseService::OnDatabaseInsertNewPatientSucc, *m_pDataAccess,
                         &Store::InsertNewPatient, wParam, "ProcessInserNewPatient");
}

uint MDatabaseService::ProcessDeletePatient(quintptr wParam)
{
    return PassOnSuccess(*this, &MDatabaseService::OnDatabaseDeletePatientSucc, *m_pDataAccess,
                         &Store::DeletePatient, wParam, "ProcessDeletePatient");
}

uint MDatabaseService::ProcessUpdatePatient(quintptr wParam)
{
    return PassOnSuccess(*this, &MDatabaseService::OnDatabaseUpdateOnePatientDetailInfoSucc,
                         *m_pDataAccess, &Store::UpdatePatient, wParam, "ProcessUpdatePatient");
}

uint MDatabaseService::ProcessGetAllPatientBrief()
{
    STU_DB_PATIENT_LIST *head = nullptr;
    const uint code = m_pDataAccess->GetAllPatientBrief(&head);
    ChainPtr<STU_DB_PATIENT_LIST> chain(head);
    if (code == DB_OK)
        emit OnDatabaseGetAllPatientBriefSucc(chain.release());
    return code;
}

uint MDatabaseService::ProcessInsertNIBPData(quintptr wParam, quintptr lParam)
{
    return InsertRecords(*m_pDataAccess, &Store::InsertNibpData, AdoptUuid(wParam), lParam,
                         "ProcessInsertNIBPData");
}

uint MDatabaseService::ProcessGetNIBPData(quintptr wParam)
{
    return GetRecords(*this, &MDatabaseService::OnDatabaseGetNIBPDataListSucc, *m_pDataAccess,
                      &Store::GetNibpDataList, wParam, "ProcessGetNIBPData");
}

uint MDatabaseService::ProcessInsertTEMPData(quintptr wParam, quintptr lParam)
{
    UuidPtr uuid = AdoptUuid(wParam);
    const uint code = InsertRecords(*m_pDataAccess, &Store::InsertTempData, uuid, lParam,
                                    "ProcessInsertTEMPData");
    // The import waits for this signal to finish the patient, so it comes
    // whatever the store answered.
    if (uuid && lParam != 0)
        emit OnImportPatientDataFinished(uuid.release());
    return code;
}

uint MDatabaseService::ProcessGetTEMPData(quintptr wParam)
{
    return GetRecords(*this, &MDatabaseService::OnDatabaseGetTEMPDataListSucc, *m_pDataAccess,
                      &Store::GetTempDataList, wParam, "ProcessGetTEMPData");
}

uint MDatabaseService::ProcessInsertSPO2Data(quintptr wParam, quintptr lParam)
{
    return InsertRecords(*m_pDataAccess, &Store::InsertSPO2Data, AdoptUuid(wParam), lParam,
                         "ProcessInsertSPO2Data");
}

uint MDatabaseService::ProcessGetSPO2Data(quintptr wParam)
{
    return GetRecords(*this, &MDatabaseService::OnDatabaseGetSPO2DataListSucc, *m_pDataAccess,
                      &Store::GetSPO2DataList, wParam, "ProcessGetSPO2Data");
}

uint MDatabaseService::ProcessGetOnePatientDetail(quintptr wParam)
{
    auto patient = AdoptChain<STU_DB_PATIENT_LIST>(wParam);
    if (!patient)
        return DB_ERR_NULL_PARAMETER;
    const uint code = m_pDataAccess->GetPatientDetail(patient.get());
    if (code == DB_OK) {
        // Opening the details is what marks a patient as read.
        m_pDataAccess->UpdateBrowserFlag(&patient->PatientID, true);
        patient->ReadFlag = true;
        emit OnDatabaseGetOnePatientDetailSucc(patient.release());
    }
    return code;
}

uint MDatabaseService::ProcessSearchPatientToMerge(quintptr wParam, quintptr lParam)
{
    // The compared record is the service's own copy; it is never passed on.
    auto patient = AdoptChain<STU_DB_PATIENT_LIST>(lParam);
    const uint keyBits = static_cast<uint>(wParam);
    if (keyBits == 0 || !patient) {
        MLOG("ProcessSearchPatientToMerge, wParam and lParam is null");
        return DB_ERR_NULL_PARAMETER;
    }
    STU_DB_PATIENT_LIST *head = nullptr;
    const uint code = m_pDataAccess->SearchPatientToMerge(keyBits, patient.get(), &head);
    ChainPtr<STU_DB_PATIENT_LIST> chain(head);
    if (code != DB_OK)
        chain.reset();
    emit OnSearchPatientToMergeSucc(chain.release());
    return code;
}

uint MDatabaseService::ProcessMergePatientData(quintptr wParam, quintptr lParam)
{
    UuidPtr remaining = AdoptUuid(wParam);
    UuidPtr removed = AdoptUuid(lParam);
    if (!remaining || !removed) {
        MLOG("ProcessMergePatientData, wParam or lParam is null");
        return DB_ERR_NULL_PARAMETER;
    }
    const uint code = m_pDataAccess->MergePatientData(remaining.get(), removed.get());
    emit OnMergePatientDataSucc(remaining.release(), removed.release());
    return code;
}

uint MDatabaseService::ProcessGetOnePatientBrief(quintptr wParam)
{
    auto patient = AdoptChain<STU_DB_PATIENT_LIST>(wParam);
    if (!patient)
        return DB_ERR_NULL_PARAMETER;
    const uint code = m_pDataAccess->GetOnePatientBriefInfo(patient.get());
    if (code == DB_OK)
        emit OnDatabaseGetOnePatientBriefSucc(patient.release());
    return code;
}

uint MDatabaseService::ProcessUpdateBrowserFlag(quintptr wParam, quintptr lParam)
{
    UuidPtr uuid = AdoptUuid(wParam);
    if (!uuid) {
        MLOG("ProcessUpdateBrowserFlag, wParam is null");
        return DB_ERR_NULL_PARAMETER;
    }
    const uint code = m_pDataAccess->UpdateBrowserFlag(uuid.get(), lParam != 0);
    if (code == DB_OK)
        emit OnDatabaseUpdateBrowserFlagSucc(uuid.release());
    return code;
}

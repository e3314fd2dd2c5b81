#pragma once

#include "ComDeviceScanThread.h"
#include "DeviceFrameScanner.h"
#include "ImportConversation.h"
#include "ImportProgress.h"
#include "OutstandingRequest.h"

#include <QObject>
#include <QTimer>
#include <QUuid>

#include <array>

class ComDeviceCommunication;

// The import controller. Owns the device link (scan object and communication
// front), turns scan reports into connect/disconnect events, and runs imports:
// it sends the requests of the run's conversation, finds the answers in the
// received bytes, passes over what does not belong to the run, asks again
// for damaged or missing answers, and reports how the run ended. Lives in the
// GUI thread.
class CommunicationProcessControl : public QObject, private ImportConversation::Peer
{
    Q_OBJECT

public:
    // As many ports as the scan reports; only the first is ever opened.
    static constexpr int MAX_PORT_COUNT = ComDeviceScanThread::kMaxPorts;

    // How long a request waits for a usable answer before it goes out again,
    // and after its last try before the run stops.
    static constexpr int ANSWER_TIMEOUT_MS = 5000;
    // A damaged answer is asked for again once the line has been quiet this
    // long, so that the rest of the damaged answer is not taken for the new one.
    static constexpr int RETRY_QUIET_MS = 100;

    static CommunicationProcessControl *GetInstance();
    // Destroys the program-wide instance, if any: the port closes and the
    // serial and scan threads stop.
    static void DestroyInstance();

    // A free-standing controller (tests, tools); the program uses GetInstance().
    explicit CommunicationProcessControl(QObject *parent = nullptr);
    ~CommunicationProcessControl() override;

    CommunicationProcessControl(const CommunicationProcessControl &) = delete;
    CommunicationProcessControl &operator=(const CommunicationProcessControl &) = delete;

    // Creates the front object and the scan object and makes the connections.
    void Initialize();
    // As Initialize() but without the scan object: ports are then reported by
    // the caller through DevicePlugInPlugOutStatusChanged().
    void InitializeWithoutScan();
    // The front object and its ReadFinished connection alone; no database
    // service (tests feed bytes through the front and watch the work items).
    void CreateCommunication();

    // Starts an import run; a run in progress is abandoned. When the port
    // could not be opened, it is tried once more first.
    void StartImportData();
    void ResetImportState();
    bool IsImportRunning() const { return m_bRunActive; }
    void SetAnswerTimeoutMs(int iMs) { m_iAnswerTimeoutMs = iMs; }

    ComDeviceCommunication *GetCommunication() const { return m_pCommunication; }
    int GetPortCount() const { return m_iPortCount; }
    // The device path of the open monitor port; empty while none is open.
    QString ConnectedPortPath() const;

signals:
    void NewDeviceConnected();
    void DeviceDisconnected();
    // Work items for the database service. wParam/lParam carry objects made
    // here with new; the receiver owns and frees them (records, chains, QUuid).
    void NewDatabaseTask(uint iWorkType, quintptr wParam, quintptr lParam);
    // Every record of the run has been handled by the database service and
    // stored (ImportDataFailed otherwise). Emitted outside the answer parser.
    void ImportDataFinished();
    // The QUuid is a new copy owned by the receiver.
    void OnImportOnePatientDataFinished(QUuid *puuid);
    // Markers around the run's work items, for the database service.
    void ImportRunBegun(uint iRun);
    void ImportRunEnded(uint iRun);
    // The run's work items are handled, but some could not be stored.
    void ImportDataFailed(uint iPatientsNotStored, uint iRecordsNotStored);
    // The monitor gave no usable answer to the last try of a request, or was
    // unplugged during the run; the run has stopped.
    void ImportDataStalled();
    // The status text of the run in progress; empty when no run is going on.
    void ImportProgressChanged(const QString &strText);
    // The monitor's port strPort could not be opened (iError: a ComOpenError).
    void DeviceOpenFailed(int iError, const QString &strPort);
    // After every run that ended (finished, failed or stalled), once the
    // database service has handled its work items: what the store made of it.
    // Emitted just before ImportDataFinished or ImportDataFailed.
    void ImportSummaryReady(uint iNewPatients, uint iNewRecords, uint iSkippedRecords,
                            uint iPatientsNotStored, uint iRecordsNotStored);

public slots:
    // port: array made by the scan, owned (and freed) here in every case.
    void DevicePlugInPlugOutStatusChanged(int num, unsigned short *port);
    void OnReadFinished();
    void OnImportRunCounted(uint iRun, uint iNewPatients, uint iNewRecords, uint iSkippedRecords);
    void OnImportRunStored(uint iRun, uint iPatientsNotStored, uint iRecordsNotStored);
    void OnDeviceOpened(int com, int iError);

private:
    enum class PortState
    {
        None,
        Opening,
        Open,
        Failed,
    };
    // What the database service counted for a run, kept until its outcome comes.
    struct RunCounts
    {
        uint iRun = 0;
        uint iNewPatients = 0;
        uint iNewRecords = 0;
        uint iSkippedRecords = 0;
    };

    // ImportConversation::Peer
    void SendRequest(unsigned short cmd, int iPatientID) override;
    void HandOverWork(uint iWorkType, quintptr wParam, quintptr lParam) override;
    void PatientFinished(QUuid *puuid) override;
    void ConversationFinished() override;

    void ConnectDatabaseService();
    bool SendRequestCmdToDevice(unsigned short cmd);
    bool SendGetVitalDataRequestToDevice(unsigned short cmd, int iPatientID);
    void ParseDevicePkg();
    void HandleScan(const DeviceFrameScanner::Result &scan);
    void HandleValidFrame(unsigned short cmd, unsigned char pkgNo, unsigned char pkgCount,
                          const unsigned char *data, unsigned length);
    void HandleOtherPackage(unsigned short cmd);
    void LogCrcMismatch(const DeviceFrameScanner::Result &scan);

    bool WriteRequest(unsigned short cmd, int iPatientID);
    void NoteRequestSent(unsigned short cmd, int iPatientID);
    void ResendOutstandingRequest();
    void OnAnswerTimeout();
    void NoteDamagedAnswer(bool answerEnd);
    void NoteUsablePackage();
    void BeginRun();
    void EndRun(bool bFinished);
    void AbandonRun();
    void ReportRunOutcome(uint iPatientsNotStored, uint iRecordsNotStored);
    void PortGone();
    void SwitchToNewFirstPort();

    static CommunicationProcessControl *s_pInstance;

    ComDeviceScanThread *m_pScanThread = nullptr;
    int m_iPortCount = -1;
    std::array<unsigned short, MAX_PORT_COUNT> m_ports{};
    ComDeviceCommunication *m_pCommunication = nullptr;
    ImportConversation m_conversation{*this};
    OutstandingRequest m_outstanding;
    QTimer m_answerTimer;
    int m_iAnswerTimeoutMs = ANSWER_TIMEOUT_MS;
    ImportProgress m_progress;
    uint m_iRun = 0;
    bool m_bRunActive = false;
    // The last run that ended and has not heard from the database yet.
    uint m_iRunAwaitingTally = 0;
    bool m_bAwaitedRunFinished = false;
    RunCounts m_counts;
    PortState m_portState = PortState::None;
    bool m_bStartAfterOpen = false;
    // OnReadFinished is never re-entered: bytes arriving meanwhile (a handler
    // spinning an event loop) are parsed by the running call.
    bool m_bParsing = false;
};

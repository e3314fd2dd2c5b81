#pragma once

#include "ImportProgress.h"
#include "OutstandingRequest.h"

#include <QMap>
#include <QObject>
#include <QTimer>
#include <QUuid>
#include <QVector>

#include <array>

class ComDeviceCommunication;
class ComDeviceScanThread;

// The import controller. Owns the device link (scan object and communication
// front), turns scan reports into connect/disconnect events, drives the
// monitor through its request sequence on an import and hands every decoded
// answer to the database service as a work item. Lives in the GUI thread.
class CommunicationProcessControl : public QObject
{
    Q_OBJECT

public:
    static constexpr int MAX_PORT_COUNT = 16;
    static constexpr int DEVICE_SN_LENGTH = 32;
    // One largest answer frame (4108 bytes) with room to spare.
    static constexpr unsigned STAGING_BUFFER_SIZE = 5120;
    static constexpr unsigned FRAME_HEADER_SIZE = 8;
    static constexpr unsigned FRAME_CRC_SIZE = 4;
    static constexpr unsigned MAX_ANSWER_PAYLOAD = 4096;
    static constexpr unsigned PATIENT_SELECTOR_SIZE = 17;

    static constexpr unsigned char REQUEST_START_BYTE = 0xAA;
    static constexpr unsigned char ANSWER_START_BYTE = 0xBB;
    static constexpr unsigned char PROTOCOL_BYTE = 0x19;

    static constexpr unsigned short CMD_DEVICE_TYPE = 0x0200;
    static constexpr unsigned short CMD_DEVICE_SN = 0x0202;
    static constexpr unsigned short CMD_PATIENT_ID_LIST = 0x0210;
    static constexpr unsigned short CMD_PATIENT_UUID = 0x0211;
    static constexpr unsigned short CMD_NIBP_DATA = 0x020D;
    static constexpr unsigned short CMD_SPO2_DATA = 0x020E;
    static constexpr unsigned short CMD_TEMP_DATA = 0x020F;
    static constexpr unsigned short CMD_UNKNOWN_ERROR = 0x0F00;
    static constexpr unsigned short CMD_CRC_ERROR = 0x0F01;

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

    // Creates the front object and the scan object and makes the three connections.
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
    const OutstandingRequest &GetOutstandingRequest() const { return m_outstanding; }
    void SetAnswerTimeoutMs(int iMs) { m_iAnswerTimeoutMs = iMs; }
    // Takes a request as gone out without writing it, with nothing owed to
    // any before it, for callers that feed the answers straight to ParseDevicePkg.
    void ExpectAnswer(unsigned short cmd, int iPatientID)
    {
        m_outstanding.Clear();
        m_outstanding.Start(cmd, iPatientID);
    }

    static unsigned CalculateCRCValue(const unsigned char *data, unsigned length);
    // The request frame for a command, with the patient selector when
    // withSelector is set (L = 17), else without payload (L = 0).
    static QByteArray BuildRequestFrame(unsigned short cmd, bool withSelector, int iPatientID);

    bool SendRequestCmdToDevice(unsigned short cmd);
    bool SendGetVitalDataRequestToDevice(unsigned short cmd, int iPatientID);

    // Number of leading bytes used up (frames and noise); 0 = wait for more.
    unsigned ParseDevicePkg(const unsigned char *buffer, unsigned length);

    void ParseDeviceTypePkg(const unsigned char *data, unsigned length);
    void ParseDeviceSNPkg(const unsigned char *data, unsigned length);
    void ParsePatientIDListPkg(unsigned char pkgNo, unsigned char pkgCount,
                               const unsigned char *data, unsigned length);
    void ParseUuidDataPkg(unsigned char pkgCount, const unsigned char *data, unsigned length);
    void ParseNIBPDataPkg(unsigned char pkgCount, const unsigned char *data, unsigned length);
    void ParseSPO2DataPkg(unsigned char pkgCount, const unsigned char *data, unsigned length);
    void ParseTEMPDataPkg(unsigned char pkgCount, const unsigned char *data, unsigned length);

    ComDeviceCommunication *GetCommunication() const { return m_pCommunication; }
    int GetPortCount() const { return m_iPortCount; }
    QString GetDeviceSN() const;
    // The device path of the open monitor port; empty while none is open.
    QString ConnectedPortPath() const;
    QVector<int> GetPatientIdQueue() const { return m_patientIdQueue; }
    int GetCurrentPatientID() const { return m_iCurrentPatientID; }
    QUuid GetCurrentPatientUuid() const { return m_uuidCurrentPatient; }

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
    // After every finished or failed run: what the store made of it.
    void ImportSummaryReady(uint iNewPatients, uint iNewRecords, uint iSkippedRecords,
                            uint iPatientsNotStored, uint iRecordsNotStored);

public slots:
    // port: array made by the scan, owned (and freed) here in every case.
    void DevicePlugInPlugOutStatusChanged(int num, unsigned short *port);
    void OnReadFinished();
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

    void ConnectDatabaseService();
    unsigned HandleValidFrame(const unsigned char *frame, unsigned length);
    void DispatchAnswer(unsigned short cmd, unsigned char pkgNo, unsigned char pkgCount,
                        const unsigned char *data, unsigned length);
    void LogCrcMismatch(const unsigned char *frame, unsigned dataLength, quint32 iCRCSend,
                        quint32 iCRCCalc);
    void RequestNextPatientOrFinish();
    void ClearStoredPorts();
    void ParsePendingBytes();
    unsigned ParseStagedBytes(unsigned n);

    bool WriteRequest(unsigned short cmd, int iPatientID);
    void NoteRequestSent(unsigned short cmd, int iPatientID);
    void ResendOutstandingRequest();
    void OnAnswerTimeout();
    void NoteDamagedAnswer(bool answerEnd);
    void NoteUsablePackage();
    bool AnswerComplete(unsigned char pkgCount) const;
    void BeginRun();
    void EndRun(bool bFinished);
    void AbandonRun();
    void PortGone();

    static CommunicationProcessControl *s_pInstance;

    ComDeviceScanThread *m_pScanThread = nullptr;
    int m_iPortCount = -1;
    std::array<unsigned short, MAX_PORT_COUNT> m_ports{};
    ComDeviceCommunication *m_pCommunication = nullptr;
    std::array<QChar, DEVICE_SN_LENGTH> m_deviceSN{};
    QVector<int> m_patientIdQueue;
    int m_iCurrentPatientID = 0;
    QUuid m_uuidCurrentPatient;
    // The ids of the list answer by package number, joined once it is complete.
    QMap<int, QVector<int>> m_listPackages;
    OutstandingRequest m_outstanding;
    QTimer m_answerTimer;
    int m_iAnswerTimeoutMs = ANSWER_TIMEOUT_MS;
    ImportProgress m_progress;
    uint m_iRun = 0;
    bool m_bRunActive = false;
    // The last run that ended and has not heard from the database yet.
    uint m_iRunAwaitingTally = 0;
    bool m_bAwaitedRunFinished = false;
    int m_iPatientCount = 0;
    int m_iPatientNumber = 0;
    PortState m_portState = PortState::None;
    bool m_bStartAfterOpen = false;
    // OnReadFinished is never re-entered: bytes arriving meanwhile (a handler
    // spinning an event loop) are parsed by the running call.
    bool m_bParsing = false;
    bool m_bMoreBytes = false;
    // Staging copy of the received bytes for parsing; one per controller.
    std::array<unsigned char, STAGING_BUFFER_SIZE> m_stagingBuffer{};
};

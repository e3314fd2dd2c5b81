#include "CommunicationProcessControl.h"

#include "ComDeviceCommunication.h"
#include "ComOpenError.h"
#include "ComPortPath.h"
#include "DatabaseRecords.h"
#include "ImportLog.h"
#include "MDatabaseService.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace {

using Codec = DeviceFrameCodec;

// What fits in a 5120-character message as "%02X " per byte.
constexpr unsigned MAX_HEX_DUMP_BYTES = 1706;

} // namespace

CommunicationProcessControl *CommunicationProcessControl::s_pInstance = nullptr;

CommunicationProcessControl *CommunicationProcessControl::GetInstance()
{
    if (!s_pInstance)
        s_pInstance = new CommunicationProcessControl();
    return s_pInstance;
}

void CommunicationProcessControl::DestroyInstance()
{
    delete s_pInstance;
}

CommunicationProcessControl::CommunicationProcessControl(QObject *parent) : QObject(parent)
{
    RegisterDatabaseMetaTypes();
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, &CommunicationProcessControl::OnAnswerTimeout);
    connect(&m_progress, &ImportProgress::TextChanged, this,
            &CommunicationProcessControl::ImportProgressChanged);
}

CommunicationProcessControl::~CommunicationProcessControl()
{
    delete m_pCommunication;
    delete m_pScanThread;
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

void CommunicationProcessControl::Initialize()
{
    CreateCommunication();
    if (!m_pScanThread) {
        m_pScanThread = new ComDeviceScanThread();
        connect(m_pScanThread, &ComDeviceScanThread::DeviceNumChanged, this,
                &CommunicationProcessControl::DevicePlugInPlugOutStatusChanged);
    }
    ConnectDatabaseService();
}

void CommunicationProcessControl::InitializeWithoutScan()
{
    CreateCommunication();
    ConnectDatabaseService();
}

void CommunicationProcessControl::CreateCommunication()
{
    if (m_pCommunication)
        return;
    m_pCommunication = new ComDeviceCommunication();
    connect(m_pCommunication, &ComDeviceCommunication::ReadFinished, this,
            &CommunicationProcessControl::OnReadFinished);
    connect(m_pCommunication, &ComDeviceCommunication::OpenFinished, this,
            &CommunicationProcessControl::OnDeviceOpened);
}

void CommunicationProcessControl::ConnectDatabaseService()
{
    MDatabaseService *service = MDatabaseService::GetInstance();
    connect(this, &CommunicationProcessControl::NewDatabaseTask, service,
            &MDatabaseService::ProcessDatabaseTaskProc, Qt::UniqueConnection);
    // The markers travel the work items' way, so they keep their place among them.
    connect(this, &CommunicationProcessControl::ImportRunBegun, service,
            &MDatabaseService::BeginImportRun, Qt::UniqueConnection);
    connect(this, &CommunicationProcessControl::ImportRunEnded, service,
            &MDatabaseService::EndImportRun, Qt::UniqueConnection);
    // Queued even while the service has no thread of its own: the outcome must
    // never be reported from inside the answer parser. The counts come first.
    const auto queued = Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection);
    connect(service, &MDatabaseService::OnImportRunCounted, this,
            &CommunicationProcessControl::OnImportRunCounted, queued);
    connect(service, &MDatabaseService::OnImportRunStored, this,
            &CommunicationProcessControl::OnImportRunStored, queued);
}

void CommunicationProcessControl::StartImportData()
{
    if (m_portState == PortState::Failed && m_pCommunication && m_iPortCount > 0) {
        // The port is tried again: the program that held it may have let go.
        m_bStartAfterOpen = true;
        m_portState = PortState::Opening;
        m_pCommunication->OpenDevice(m_ports[0]);
        return;
    }
    BeginRun();
}

void CommunicationProcessControl::ResetImportState()
{
    m_conversation.Reset();
    m_outstanding.Clear();
    m_answerTimer.stop();
}

void CommunicationProcessControl::BeginRun()
{
    if (m_bRunActive)
        IMPORT_LOG("Import started again: the run in progress is abandoned.");
    ResetImportState();
    if (++m_iRun == 0)
        ++m_iRun;
    m_bRunActive = true;
    // Bytes of an abandoned run's answers must not be read as this run's.
    if (m_pCommunication)
        m_pCommunication->ClearReadWriteBuffer();
    emit ImportRunBegun(m_iRun);
    SendRequestCmdToDevice(Codec::CMD_DEVICE_TYPE);
}

// The run's last answer is handled (bFinished) or the monitor stopped
// answering; the database service reports on the run's work items next.
void CommunicationProcessControl::EndRun(bool bFinished)
{
    m_outstanding.Clear();
    m_answerTimer.stop();
    if (!m_bRunActive)
        return;
    m_bRunActive = false;
    m_iRunAwaitingTally = m_iRun;
    m_bAwaitedRunFinished = bFinished;
    if (bFinished)
        m_progress.Storing();
    else
        m_progress.Clear();
    emit ImportRunEnded(m_iRun);
    if (!bFinished)
        emit ImportDataStalled();
}

void CommunicationProcessControl::AbandonRun()
{
    m_outstanding.Clear();
    m_answerTimer.stop();
    m_bRunActive = false;
    m_progress.Clear();
}

void CommunicationProcessControl::OnImportRunCounted(uint iRun, uint iNewPatients, uint iNewRecords,
                                                     uint iSkippedRecords)
{
    m_counts = RunCounts{iRun, iNewPatients, iNewRecords, iSkippedRecords};
}

void CommunicationProcessControl::OnImportRunStored(uint iRun, uint iPatientsNotStored,
                                                    uint iRecordsNotStored)
{
    if (iRun == 0 || iRun != m_iRunAwaitingTally)
        return;
    m_iRunAwaitingTally = 0;
    if (!m_bRunActive)
        m_progress.Clear();
    ReportRunOutcome(iPatientsNotStored, iRecordsNotStored);
}

void CommunicationProcessControl::ReportRunOutcome(uint iPatientsNotStored, uint iRecordsNotStored)
{
    const RunCounts counts = m_counts.iRun == m_iRun ? m_counts : RunCounts{};
    m_counts = RunCounts{};
    emit ImportSummaryReady(counts.iNewPatients, counts.iNewRecords, counts.iSkippedRecords,
                            iPatientsNotStored, iRecordsNotStored);
    if (iPatientsNotStored > 0 || iRecordsNotStored > 0) {
        IMPORT_LOG(QString::asprintf("Import failed: %u patient(s) and %u record(s) could not be "
                                     "stored.",
                                     iPatientsNotStored, iRecordsNotStored));
        emit ImportDataFailed(iPatientsNotStored, iRecordsNotStored);
    } else if (m_bAwaitedRunFinished) {
        emit ImportDataFinished();
    }
}

void CommunicationProcessControl::OnDeviceOpened(int com, int iError)
{
    if (m_iPortCount <= 0 || com != m_ports[0])
        return; // a port that is no longer the monitor's
    const bool start = std::exchange(m_bStartAfterOpen, false);
    if (iError == COM_OPEN_OK) {
        m_portState = PortState::Open;
        if (start)
            BeginRun();
        return;
    }
    m_portState = PortState::Failed;
    if (m_bRunActive)
        AbandonRun(); // its requests went nowhere
    emit DeviceOpenFailed(iError, ComPortPath::DevicePath(com));
}

void CommunicationProcessControl::SendRequest(unsigned short cmd, int iPatientID)
{
    if (Codec::IsVitalDataCommand(cmd))
        SendGetVitalDataRequestToDevice(cmd, iPatientID);
    else
        SendRequestCmdToDevice(cmd);
}

void CommunicationProcessControl::HandOverWork(uint iWorkType, quintptr wParam, quintptr lParam)
{
    emit NewDatabaseTask(iWorkType, wParam, lParam);
}

void CommunicationProcessControl::PatientFinished(QUuid *puuid)
{
    emit OnImportOnePatientDataFinished(puuid);
}

void CommunicationProcessControl::ConversationFinished()
{
    EndRun(true);
}

bool CommunicationProcessControl::SendRequestCmdToDevice(unsigned short cmd)
{
    if (!m_pCommunication)
        return false;
    IMPORT_LOG(QString::asprintf("SendRequestCmdToDevice:0x%x", cmd));
    NoteRequestSent(cmd, 0);
    return WriteRequest(cmd, 0);
}

bool CommunicationProcessControl::SendGetVitalDataRequestToDevice(unsigned short cmd,
                                                                  int iPatientID)
{
    IMPORT_LOG(QString::asprintf("SendGetVitalDataRequestToDevice:0x%04x, iPatientID = %d", cmd,
                                 iPatientID));
    if (!m_pCommunication)
        return false;
    NoteRequestSent(cmd, iPatientID);
    return WriteRequest(cmd, iPatientID);
}

bool CommunicationProcessControl::WriteRequest(unsigned short cmd, int iPatientID)
{
    QByteArray frame = Codec::BuildRequestFrame(cmd, Codec::IsVitalDataCommand(cmd), iPatientID);
    return m_pCommunication->WriteDataToDev(reinterpret_cast<unsigned char *>(frame.data()),
                                            static_cast<int>(frame.size()));
}

void CommunicationProcessControl::NoteRequestSent(unsigned short cmd, int iPatientID)
{
    m_outstanding.Start(cmd, iPatientID);
    m_answerTimer.start(m_iAnswerTimeoutMs);
    if (!m_bRunActive)
        return;
    if (Codec::IsVitalDataCommand(cmd))
        m_progress.Patient(m_conversation.PatientNumber(), m_conversation.PatientCount(), cmd);
    else
        m_progress.ReadingPatientList();
}

void CommunicationProcessControl::ResendOutstandingRequest()
{
    // What is still pending can only be the rest of a damaged answer.
    m_pCommunication->ClearReadWriteBuffer();
    m_outstanding.Resent();
    m_answerTimer.start(m_iAnswerTimeoutMs);
    WriteRequest(m_outstanding.Command(), m_outstanding.PatientID());
}

void CommunicationProcessControl::OnAnswerTimeout()
{
    if (!m_outstanding.IsOut() || !m_pCommunication)
        return;
    const unsigned short cmd = m_outstanding.Command();
    const int id = m_outstanding.PatientID();
    if (m_outstanding.MaySendAgain()) {
        IMPORT_LOG(QString::asprintf("%s answer to request 0x%04x for patient %d after %lld ms, "
                                     "asking again (try %d of %d).",
                                     m_outstanding.IsDamaged() ? "Damaged" : "No", cmd, id,
                                     static_cast<long long>(m_outstanding.ElapsedMs()),
                                     m_outstanding.SendCount() + 1, OutstandingRequest::kMaxSends));
        ResendOutstandingRequest();
        return;
    }
    IMPORT_LOG(QString::asprintf("No usable answer to request 0x%04x for patient %d after %d "
                                 "tries; the monitor stopped answering and the import stops.",
                                 cmd, id, m_outstanding.SendCount()));
    EndRun(false);
}

// A damaged answer is asked for again once the line is quiet; the last try's
// time-out stands.
void CommunicationProcessControl::NoteDamagedAnswer(bool answerEnd)
{
    if (!m_outstanding.IsOut())
        return;
    m_outstanding.MarkDamaged();
    if (answerEnd)
        m_outstanding.NoteAnswerEnd();
    if (m_outstanding.MaySendAgain())
        m_answerTimer.start(RETRY_QUIET_MS);
}

void CommunicationProcessControl::NoteUsablePackage()
{
    if (!m_outstanding.IsDamaged())
        m_answerTimer.start(m_iAnswerTimeoutMs);
}

void CommunicationProcessControl::OnReadFinished()
{
    // The line is still busy with a damaged answer: the repeat waits for quiet.
    if (m_outstanding.IsDamaged() && m_outstanding.MaySendAgain())
        m_answerTimer.start(RETRY_QUIET_MS);
    if (m_bParsing || !m_pCommunication)
        return;
    m_bParsing = true;
    ParseDevicePkg();
    m_bParsing = false;
}

// The frames are read where the bytes arrived, in the front's read buffer. A
// frame's bytes leave the buffer before it is handled, so that a handler may
// empty the buffer (a new run, a repeated request) without losing later bytes;
// the handlers have read the frame before they send or hand over anything.
void CommunicationProcessControl::ParseDevicePkg()
{
    for (;;) {
        char *data = nullptr;
        int size = 0;
        m_pCommunication->ReadDataFromDev(data, size);
        if (size <= 0)
            return;
        const DeviceFrameScanner::Result scan = DeviceFrameScanner::Scan(
            reinterpret_cast<const unsigned char *>(data), static_cast<unsigned>(size));
        if (scan.consumed == 0)
            return;
        m_pCommunication->UpdateReadBuffer2(static_cast<int>(scan.consumed));
        HandleScan(scan);
    }
}

void CommunicationProcessControl::HandleScan(const DeviceFrameScanner::Result &scan)
{
    if (scan.found == DeviceFrameScanner::Found::Damaged) {
        LogCrcMismatch(scan);
        // Noise can look like a frame; only the outstanding command's last
        // package ends one of its answers.
        NoteDamagedAnswer(m_outstanding.Matches(scan.cmd) && scan.pkgNo >= scan.pkgCount);
    } else if (scan.found == DeviceFrameScanner::Found::Frame) {
        HandleValidFrame(scan.cmd, scan.pkgNo, scan.pkgCount, scan.Payload(), scan.payloadLength);
    }
}

void CommunicationProcessControl::HandleValidFrame(unsigned short cmd, unsigned char pkgNo,
                                                   unsigned char pkgCount,
                                                   const unsigned char *data, unsigned length)
{
    if (!Codec::IsAnswerCommand(cmd)) {
        HandleOtherPackage(cmd);
        return;
    }
    // Only the answer to the one outstanding request belongs to the run: an
    // abandoned run's answers, and a repeated answer's packages handled before,
    // are left out.
    if (!m_outstanding.Matches(cmd)) {
        IMPORT_LOG(QString::asprintf("Dropped answer 0x%04x: the outstanding request is 0x%04x.",
                                     cmd, m_outstanding.Command()));
        return;
    }
    const bool lastPackage = pkgNo >= pkgCount;
    if (m_outstanding.PassStale(lastPackage)) {
        IMPORT_LOG(QString::asprintf("Dropped package %u of answer 0x%04x: it answers an earlier "
                                     "request.",
                                     pkgNo, cmd));
        return;
    }
    if (lastPackage)
        m_outstanding.NoteAnswerEnd();
    if (!m_outstanding.TakePackage(pkgNo)) {
        IMPORT_LOG(
            QString::asprintf("Dropped package %u of answer 0x%04x: handled before.", pkgNo, cmd));
        return;
    }
    NoteUsablePackage();
    m_conversation.HandleAnswer(cmd, pkgNo, m_outstanding.IsComplete(pkgCount), data, length);
}

// Error packages and commands the program does not know carry nothing for the run.
void CommunicationProcessControl::HandleOtherPackage(unsigned short cmd)
{
    if (cmd == Codec::CMD_UNKNOWN_ERROR) {
        IMPORT_LOG("Received Unknown Error Package In the Device!");
        NoteDamagedAnswer(true);
    } else if (cmd == Codec::CMD_CRC_ERROR) {
        IMPORT_LOG("Received CRC Error Package In the Device!");
        NoteDamagedAnswer(true);
    } else {
        IMPORT_LOG("Received Unsupport Package");
    }
}

void CommunicationProcessControl::LogCrcMismatch(const DeviceFrameScanner::Result &scan)
{
    if (!MLog::IsOutLog())
        return;
    IMPORT_LOG(QString::asprintf("CalculateCRCValue, iCRCSend != iCRCCalc, iCRCSend = %08X, "
                                 "iCRCCalc = %08X",
                                 scan.crcSent, scan.crcCalc));
    const unsigned dumpLength =
        qMin(scan.payloadLength + Codec::FRAME_HEADER_SIZE, MAX_HEX_DUMP_BYTES);
    IMPORT_LOG(Codec::HexDump(scan.frame, dumpLength));
}

void CommunicationProcessControl::DevicePlugInPlugOutStatusChanged(int num, unsigned short *port)
{
    std::unique_ptr<unsigned short[]> owned(port);
    if (num < 0)
        return;
    if (num == 0 || !port) {
        m_ports.fill(0);
        if (m_iPortCount > 0) {
            PortGone();
            emit DeviceDisconnected();
            if (m_pCommunication)
                m_pCommunication->CloseDevice();
            m_iPortCount = -1;
        }
        return;
    }
    const bool firstPortChanged = port[0] != m_ports[0];
    m_ports.fill(0);
    std::copy(port, port + std::min(num, MAX_PORT_COUNT), m_ports.begin());

    if (m_iPortCount <= 0) {
        m_portState = PortState::Opening;
        if (m_pCommunication) {
            // Bytes left from an earlier connection (a monitor pulled out in
            // the middle of an answer) would hold a frame open for ever.
            m_pCommunication->ClearReadWriteBuffer();
            m_pCommunication->OpenDevice(m_ports[0]);
        }
        m_iPortCount = num;
        emit NewDeviceConnected();
        return;
    }
    m_iPortCount = num;
    if (firstPortChanged)
        SwitchToNewFirstPort();
}

void CommunicationProcessControl::SwitchToNewFirstPort()
{
    PortGone();
    m_portState = PortState::Opening;
    if (m_pCommunication) {
        m_pCommunication->CloseDevice();
        m_pCommunication->ClearReadWriteBuffer();
    }
    emit DeviceDisconnected();
    if (m_pCommunication)
        m_pCommunication->OpenDevice(m_ports[0]);
    emit NewDeviceConnected();
}

// The monitor that a run talks to is gone: the run cannot go on.
void CommunicationProcessControl::PortGone()
{
    m_portState = PortState::None;
    m_bStartAfterOpen = false;
    if (m_bRunActive)
        EndRun(false);
}

QString CommunicationProcessControl::ConnectedPortPath() const
{
    if (m_portState != PortState::Open || m_iPortCount <= 0)
        return QString();
    return ComPortPath::DevicePath(m_ports[0]);
}

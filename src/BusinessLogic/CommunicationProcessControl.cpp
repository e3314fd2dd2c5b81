#include "CommunicationProcessControl.h"

#include "ComDeviceCommunication.h"
#include "ComDeviceScanThread.h"
#include "ComOpenError.h"
#include "ComPortPath.h"
#include "DatabaseRecords.h"
#include "MDatabaseService.h"
#include "MLog.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstring>
#include <memory>
#include <utility>

namespace {

constexpr quint32 CRC_POLYNOMIAL = 0x04C11DB7u;
constexpr unsigned NIBP_RECORD_SIZE = 16;
constexpr unsigned SPO2_RECORD_SIZE = 12;
constexpr unsigned TEMP_RECORD_SIZE = 10;
constexpr unsigned DEVICE_TYPE_MAX_LENGTH = 15;
constexpr unsigned DEVICE_SN_MAX_LENGTH = 31;
constexpr unsigned UUID_PAYLOAD_OFFSET = 2;
constexpr unsigned UUID_SIZE = 16;
// What fits in a 5120-character message as "%02X " per byte.
constexpr unsigned MAX_HEX_DUMP_BYTES = 1706;
constexpr int MONITOR_PATIENT_ID = -1;
constexpr int MAX_DEVICE_PATIENT_ID = 99;

struct CrcTable
{
    quint32 entries[256] = {};
};

constexpr CrcTable MakeCrcTable()
{
    CrcTable table;
    for (quint32 i = 0; i < 256; ++i) {
        quint32 crc = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ CRC_POLYNOMIAL : crc << 1;
        table.entries[i] = crc;
    }
    return table;
}

constexpr CrcTable CRC_TABLE = MakeCrcTable();
static_assert(CRC_TABLE.entries[1] == 0x04C11DB7u && CRC_TABLE.entries[3] == 0x0D4326D9u,
              "CRC table must match the monitor's generator");

quint16 ReadU16(const unsigned char *p)
{
    return static_cast<quint16>((p[0] << 8) | p[1]);
}

quint32 ReadU32(const unsigned char *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

void AppendU16(QByteArray &out, quint16 value)
{
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value & 0xFF));
}

// Index of the next answer start byte at or after from, or length if none.
unsigned FindStartByte(const unsigned char *buffer, unsigned from, unsigned length)
{
    const void *hit =
        from < length ? std::memchr(buffer + from, CommunicationProcessControl::ANSWER_START_BYTE,
                                    length - from)
                      : nullptr;
    return hit ? static_cast<unsigned>(static_cast<const unsigned char *>(hit) - buffer) : length;
}

// Null when the stamp names no real moment (month 13, hour 25, all zeros):
// such a record could never be told apart from the ones stored before.
QDateTime ReadTimeStamp(const unsigned char *p)
{
    const QDate date(ReadU16(p), p[2], p[3]);
    const QTime time(p[4], p[5], p[6], 0);
    return date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
}

void DecodeRecord(const unsigned char *p, STU_DB_NIBP_DATA_LIST &record)
{
    record.MeasureTime = ReadTimeStamp(p);
    record.SysValue = ReadU16(p + 7);
    record.DiaValue = ReadU16(p + 9);
    record.MeanValue = ReadU16(p + 11);
    record.PrValue = ReadU16(p + 13);
}

void DecodeRecord(const unsigned char *p, STU_DB_SPO2_DATA_LIST &record)
{
    record.MeasureTime = ReadTimeStamp(p);
    record.SPO2Value = ReadU16(p + 7);
    record.PrValue = ReadU16(p + 9);
}

void DecodeRecord(const unsigned char *p, STU_DB_TEMP_DATA_LIST &record)
{
    record.MeasureTime = ReadTimeStamp(p);
    record.TempValue = static_cast<float>(ReadU16(p + 7) / 10.0);
}

// Decodes the whole records of a payload, in payload order, into a new chain;
// a remainder shorter than one record is ignored, and so is a record with an
// impossible time stamp (logged under the handler's name). Null when none is left.
template <typename Record>
Record *DecodeRecordChain(const char *handler, const unsigned char *data, unsigned length,
                          unsigned recordSize)
{
    Record *head = nullptr;
    Record **tail = &head;
    unsigned skipped = 0;
    for (unsigned offset = 0; offset + recordSize <= length; offset += recordSize) {
        auto record = std::make_unique<Record>();
        DecodeRecord(data + offset, *record);
        if (!record->MeasureTime.isValid()) {
            ++skipped;
            continue;
        }
        *tail = record.release();
        tail = &(*tail)->pNext;
    }
    if (skipped > 0)
        MLOG(QString::asprintf("%s, %u record(s) with an impossible time stamp skipped", handler,
                               skipped));
    return head;
}

// The 16 bytes of a QUuid as it lies in the monitor's memory: data1, data2
// and data3 least significant byte first, then data4.
QUuid ReadUuidInMemoryOrder(const unsigned char *p)
{
    const uint data1 = uint(p[0]) | (uint(p[1]) << 8) | (uint(p[2]) << 16) | (uint(p[3]) << 24);
    const ushort data2 = static_cast<ushort>(p[4] | (p[5] << 8));
    const ushort data3 = static_cast<ushort>(p[6] | (p[7] << 8));
    return QUuid(data1, data2, data3, p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
}

bool IsVitalDataCommand(unsigned short cmd)
{
    using Control = CommunicationProcessControl;
    return cmd == Control::CMD_PATIENT_UUID || cmd == Control::CMD_NIBP_DATA ||
           cmd == Control::CMD_SPO2_DATA || cmd == Control::CMD_TEMP_DATA;
}

bool IsAnswerCommand(unsigned short cmd)
{
    using Control = CommunicationProcessControl;
    return IsVitalDataCommand(cmd) || cmd == Control::CMD_DEVICE_TYPE ||
           cmd == Control::CMD_DEVICE_SN || cmd == Control::CMD_PATIENT_ID_LIST;
}

quintptr ToParam(const void *pointer)
{
    return reinterpret_cast<quintptr>(pointer);
}

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
    // never be reported from inside the answer parser.
    connect(service, &MDatabaseService::OnImportRunStored, this,
            &CommunicationProcessControl::OnImportRunStored,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
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
    m_deviceSN.fill(QChar());
    m_patientIdQueue.clear();
    m_iCurrentPatientID = 0;
    m_uuidCurrentPatient = QUuid();
    m_listPackages.clear();
    m_outstanding.Clear();
    m_answerTimer.stop();
    m_iPatientCount = 0;
    m_iPatientNumber = 0;
}

void CommunicationProcessControl::BeginRun()
{
    if (m_bRunActive)
        MLOG("Import started again: the run in progress is abandoned.");
    ResetImportState();
    if (++m_iRun == 0)
        ++m_iRun;
    m_bRunActive = true;
    // Bytes of an abandoned run's answers must not be read as this run's.
    if (m_pCommunication)
        m_pCommunication->ClearReadWriteBuffer();
    emit ImportRunBegun(m_iRun);
    SendRequestCmdToDevice(CMD_DEVICE_TYPE);
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

void CommunicationProcessControl::OnImportRunStored(uint iRun, uint iPatientsNotStored,
                                                    uint iRecordsNotStored)
{
    if (iRun == 0 || iRun != m_iRunAwaitingTally)
        return;
    m_iRunAwaitingTally = 0;
    if (!m_bRunActive)
        m_progress.Clear();
    if (iPatientsNotStored > 0 || iRecordsNotStored > 0) {
        MLOG(QString::asprintf("Import failed: %u patient(s) and %u record(s) could not be "
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

QString CommunicationProcessControl::GetDeviceSN() const
{
    QString text;
    for (QChar c : m_deviceSN) {
        if (c.isNull())
            break;
        text.append(c);
    }
    return text;
}

unsigned CommunicationProcessControl::CalculateCRCValue(const unsigned char *data, unsigned length)
{
    if (!data || length == 0)
        return 0;
    quint32 crc = 0;
    for (unsigned i = 0; i < length; ++i)
        crc = (crc << 8) ^ CRC_TABLE.entries[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

QByteArray CommunicationProcessControl::BuildRequestFrame(unsigned short cmd, bool withSelector,
                                                          int iPatientID)
{
    const quint16 payloadLength = withSelector ? PATIENT_SELECTOR_SIZE : 0;
    QByteArray frame;
    frame.reserve(FRAME_HEADER_SIZE + payloadLength + FRAME_CRC_SIZE);
    frame.append(static_cast<char>(REQUEST_START_BYTE));
    frame.append(static_cast<char>(PROTOCOL_BYTE));
    AppendU16(frame, cmd);
    frame.append(char(1)); // package number
    frame.append(char(1)); // package count
    AppendU16(frame, payloadLength);
    if (withSelector) {
        QByteArray selector(PATIENT_SELECTOR_SIZE, '\0');
        const bool monitorItself = iPatientID == MONITOR_PATIENT_ID;
        selector[0] = monitorItself ? char(1) : char(0);
        selector[1] = monitorItself ? char(0) : static_cast<char>(iPatientID & 0xFF);
        frame.append(selector);
    }
    const quint32 crc =
        CalculateCRCValue(reinterpret_cast<const unsigned char *>(frame.constData()),
                          static_cast<unsigned>(frame.size()));
    AppendU16(frame, static_cast<quint16>(crc >> 16));
    AppendU16(frame, static_cast<quint16>(crc & 0xFFFF));
    return frame;
}

bool CommunicationProcessControl::SendRequestCmdToDevice(unsigned short cmd)
{
    if (!m_pCommunication)
        return false;
    MLOG(QString::asprintf("SendRequestCmdToDevice:0x%x", cmd));
    NoteRequestSent(cmd, 0);
    return WriteRequest(cmd, 0);
}

bool CommunicationProcessControl::SendGetVitalDataRequestToDevice(unsigned short cmd,
                                                                  int iPatientID)
{
    MLOG(QString::asprintf("SendGetVitalDataRequestToDevice:0x%04x, iPatientID = %d", cmd,
                           iPatientID));
    if (!m_pCommunication)
        return false;
    NoteRequestSent(cmd, iPatientID);
    return WriteRequest(cmd, iPatientID);
}

bool CommunicationProcessControl::WriteRequest(unsigned short cmd, int iPatientID)
{
    QByteArray frame = BuildRequestFrame(cmd, IsVitalDataCommand(cmd), iPatientID);
    return m_pCommunication->WriteDataToDev(reinterpret_cast<unsigned char *>(frame.data()),
                                            static_cast<int>(frame.size()));
}

void CommunicationProcessControl::NoteRequestSent(unsigned short cmd, int iPatientID)
{
    m_outstanding.Start(cmd, iPatientID);
    m_answerTimer.start(m_iAnswerTimeoutMs);
    if (!m_bRunActive)
        return;
    if (IsVitalDataCommand(cmd))
        m_progress.Patient(m_iPatientNumber, m_iPatientCount, cmd);
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
        MLOG(QString::asprintf("%s answer to request 0x%04x for patient %d after %lld ms, asking "
                               "again (try %d of %d).",
                               m_outstanding.IsDamaged() ? "Damaged" : "No", cmd, id,
                               static_cast<long long>(m_outstanding.ElapsedMs()),
                               m_outstanding.SendCount() + 1, OutstandingRequest::kMaxSends));
        ResendOutstandingRequest();
        return;
    }
    MLOG(QString::asprintf("No usable answer to request 0x%04x for patient %d after %d tries; "
                           "the monitor stopped answering and the import stops.",
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

bool CommunicationProcessControl::AnswerComplete(unsigned char pkgCount) const
{
    return m_outstanding.IsComplete(pkgCount);
}

unsigned CommunicationProcessControl::ParseDevicePkg(const unsigned char *buffer, unsigned length)
{
    if (!buffer || length == 0)
        return 0;
    const unsigned p = FindStartByte(buffer, 0, length);
    const unsigned remaining = length - p;
    if (remaining < FRAME_HEADER_SIZE)
        return p;
    const unsigned char *frame = buffer + p;
    if (frame[1] != PROTOCOL_BYTE)
        return FindStartByte(buffer, p + 1, length);
    const unsigned dataLength = ReadU16(frame + 6);
    if (dataLength > MAX_ANSWER_PAYLOAD)
        return FindStartByte(buffer, p + 1, length);
    if (dataLength + FRAME_CRC_SIZE > remaining - FRAME_HEADER_SIZE)
        return p;
    const quint32 iCRCCalc = CalculateCRCValue(frame, dataLength + FRAME_HEADER_SIZE);
    const quint32 iCRCSend = ReadU32(frame + FRAME_HEADER_SIZE + dataLength);
    if (iCRCSend != iCRCCalc) {
        LogCrcMismatch(frame, dataLength, iCRCSend, iCRCCalc);
        // Noise can look like a frame; only the outstanding command's last
        // package ends one of its answers.
        NoteDamagedAnswer(m_outstanding.Matches(ReadU16(frame + 2)) && frame[4] >= frame[5]);
        return FindStartByte(buffer, p + 1, length);
    }
    return p + HandleValidFrame(frame, dataLength);
}

unsigned CommunicationProcessControl::HandleValidFrame(const unsigned char *frame, unsigned length)
{
    const unsigned short cmd = ReadU16(frame + 2);
    const unsigned char pkgNo = frame[4];
    const unsigned char pkgCount = frame[5];
    const unsigned frameLength = length + FRAME_HEADER_SIZE + FRAME_CRC_SIZE;
    if (!IsAnswerCommand(cmd)) {
        DispatchAnswer(cmd, pkgNo, pkgCount, frame + FRAME_HEADER_SIZE, length);
        return frameLength;
    }
    // Only the answer to the one outstanding request belongs to the run: an
    // abandoned run's answers, and a repeated answer's packages handled before,
    // are left out.
    if (!m_outstanding.Matches(cmd)) {
        MLOG(QString::asprintf("Dropped answer 0x%04x: the outstanding request is 0x%04x.", cmd,
                               m_outstanding.Command()));
        return frameLength;
    }
    const bool lastPackage = pkgNo >= pkgCount;
    if (m_outstanding.PassStale(lastPackage)) {
        MLOG(QString::asprintf("Dropped package %u of answer 0x%04x: it answers an earlier "
                               "request.",
                               pkgNo, cmd));
        return frameLength;
    }
    if (lastPackage)
        m_outstanding.NoteAnswerEnd();
    if (!m_outstanding.TakePackage(pkgNo)) {
        MLOG(QString::asprintf("Dropped package %u of answer 0x%04x: handled before.", pkgNo, cmd));
        return frameLength;
    }
    NoteUsablePackage();
    DispatchAnswer(cmd, pkgNo, pkgCount, frame + FRAME_HEADER_SIZE, length);
    return frameLength;
}

void CommunicationProcessControl::DispatchAnswer(unsigned short cmd, unsigned char pkgNo,
                                                 unsigned char pkgCount, const unsigned char *data,
                                                 unsigned length)
{
    switch (cmd) {
    case CMD_DEVICE_TYPE:
        MLOG("ParseDeviceTypePkg");
        ParseDeviceTypePkg(data, length);
        break;
    case CMD_DEVICE_SN:
        MLOG("ParseDeviceSNPkg");
        ParseDeviceSNPkg(data, length);
        break;
    case CMD_PATIENT_ID_LIST:
        MLOG("ParsePatientIDListPkg");
        ParsePatientIDListPkg(pkgNo, pkgCount, data, length);
        break;
    case CMD_PATIENT_UUID:
        MLOG("ParseUuidDataPkg");
        ParseUuidDataPkg(pkgCount, data, length);
        break;
    case CMD_NIBP_DATA:
        MLOG("ParseNIBPDataPkg");
        ParseNIBPDataPkg(pkgCount, data, length);
        break;
    case CMD_SPO2_DATA:
        MLOG("ParseSPO2DataPkg");
        ParseSPO2DataPkg(pkgCount, data, length);
        break;
    case CMD_TEMP_DATA:
        MLOG("ParseTEMPDataPkg");
        ParseTEMPDataPkg(pkgCount, data, length);
        break;
    case CMD_UNKNOWN_ERROR:
        MLOG("Received Unknown Error Package In the Device!");
        NoteDamagedAnswer(true);
        break;
    case CMD_CRC_ERROR:
        MLOG("Received CRC Error Package In the Device!");
        NoteDamagedAnswer(true);
        break;
    default:
        MLOG("Received Unsupport Package");
        break;
    }
}

void CommunicationProcessControl::LogCrcMismatch(const unsigned char *frame, unsigned dataLength,
                                                 quint32 iCRCSend, quint32 iCRCCalc)
{
    if (!MLog::IsOutLog())
        return;
    MLOG(QString::asprintf("CalculateCRCValue, iCRCSend != iCRCCalc, iCRCSend = %08X, iCRCCalc = "
                           "%08X",
                           iCRCSend, iCRCCalc));
    const unsigned dumpLength = qMin(dataLength + FRAME_HEADER_SIZE, MAX_HEX_DUMP_BYTES);
    QByteArray dump;
    dump.reserve(static_cast<qsizetype>(dumpLength) * 3);
    for (unsigned i = 0; i < dumpLength; ++i) {
        const QByteArray hex = QByteArray::number(frame[i], 16).toUpper().rightJustified(2, '0');
        dump.append(hex).append(' ');
    }
    MLOG(dump);
}

void CommunicationProcessControl::ParseDeviceTypePkg(const unsigned char *data, unsigned length)
{
    const unsigned textLength = qMin(length, DEVICE_TYPE_MAX_LENGTH);
    const char *text = reinterpret_cast<const char *>(data);
    MLOG(QString::fromLatin1(text, static_cast<qsizetype>(qstrnlen(text, textLength))));
    SendRequestCmdToDevice(CMD_DEVICE_SN);
}

void CommunicationProcessControl::ParseDeviceSNPkg(const unsigned char *data, unsigned length)
{
    m_deviceSN.fill(QChar());
    const unsigned textLength = qMin(length, DEVICE_SN_MAX_LENGTH);
    for (unsigned i = 0; i < textLength; ++i)
        m_deviceSN[i] = QChar(static_cast<char16_t>(data[i]));
    MLOG("The following device start import data:");
    MLOG(GetDeviceSN());
    SendRequestCmdToDevice(CMD_PATIENT_ID_LIST);
}

void CommunicationProcessControl::ParsePatientIDListPkg(unsigned char pkgNo, unsigned char pkgCount,
                                                        const unsigned char *data, unsigned length)
{
    // Each package carries its own count byte; the list is joined in package
    // order once complete (a repeated package may come in after the later ones).
    QVector<int> &ids = m_listPackages[pkgNo];
    ids.clear();
    for (unsigned i = 1; i < length; ++i) {
        if (data[i] <= MAX_DEVICE_PATIENT_ID)
            ids.append(data[i]);
    }
    if (!AnswerComplete(pkgCount))
        return;
    m_patientIdQueue = {MONITOR_PATIENT_ID};
    for (const QVector<int> &part : std::as_const(m_listPackages))
        m_patientIdQueue += part;
    m_listPackages.clear();
    m_iPatientCount = static_cast<int>(m_patientIdQueue.size());
    RequestNextPatientOrFinish();
}

void CommunicationProcessControl::ParseUuidDataPkg(unsigned char pkgCount,
                                                   const unsigned char *data, unsigned length)
{
    if (length >= UUID_PAYLOAD_OFFSET + UUID_SIZE) {
        m_uuidCurrentPatient = ReadUuidInMemoryOrder(data + UUID_PAYLOAD_OFFSET);
    } else {
        // A cut answer would mix this patient's UUID with the previous one's.
        MLOG(QString::asprintf("ParseUuidDataPkg, incomplete uuid answer, length = %u", length));
        m_uuidCurrentPatient = QUuid();
    }

    if (!m_uuidCurrentPatient.isNull()) {
        auto *patient = new STU_DB_PATIENT_LIST();
        patient->PatientID = m_uuidCurrentPatient;
        for (int i = 0; i < DEVICE_SN_LENGTH; ++i)
            patient->DeviceSN[i] = m_deviceSN[i].unicode();
        patient->DeviceSN[DEVICE_SN_LENGTH - 1] = 0;
        patient->IdInDevice = static_cast<quint32>(m_iCurrentPatientID);
        MLOG("emit NewDatabaseTask, the guid is:");
        MLOG(m_uuidCurrentPatient.toString());
        emit NewDatabaseTask(DB_WORK_INSERT_NEW_PATIENT, ToParam(patient), 0);
    }

    if (!AnswerComplete(pkgCount))
        return;
    if (m_uuidCurrentPatient.isNull())
        RequestNextPatientOrFinish();
    else
        SendGetVitalDataRequestToDevice(CMD_NIBP_DATA, m_iCurrentPatientID);
}

void CommunicationProcessControl::ParseNIBPDataPkg(unsigned char pkgCount,
                                                   const unsigned char *data, unsigned length)
{
    // No work item without a record: it would only come back as a failure.
    if (auto *chain = DecodeRecordChain<STU_DB_NIBP_DATA_LIST>("ParseNIBPDataPkg", data, length,
                                                               NIBP_RECORD_SIZE))
        emit NewDatabaseTask(DB_WORK_INSERT_NIBP_DATA, ToParam(new QUuid(m_uuidCurrentPatient)),
                             ToParam(chain));
    if (AnswerComplete(pkgCount))
        SendGetVitalDataRequestToDevice(CMD_SPO2_DATA, m_iCurrentPatientID);
}

void CommunicationProcessControl::ParseSPO2DataPkg(unsigned char pkgCount,
                                                   const unsigned char *data, unsigned length)
{
    if (auto *chain = DecodeRecordChain<STU_DB_SPO2_DATA_LIST>("ParseSPO2DataPkg", data, length,
                                                               SPO2_RECORD_SIZE))
        emit NewDatabaseTask(DB_WORK_INSERT_SPO2_DATA, ToParam(new QUuid(m_uuidCurrentPatient)),
                             ToParam(chain));
    if (AnswerComplete(pkgCount))
        SendGetVitalDataRequestToDevice(CMD_TEMP_DATA, m_iCurrentPatientID);
}

void CommunicationProcessControl::ParseTEMPDataPkg(unsigned char pkgCount,
                                                   const unsigned char *data, unsigned length)
{
    const bool complete = AnswerComplete(pkgCount);
    // Stored records are reported by the database service; without any the
    // patient is finished here, whatever the answer's length.
    if (auto *chain = DecodeRecordChain<STU_DB_TEMP_DATA_LIST>("ParseTEMPDataPkg", data, length,
                                                               TEMP_RECORD_SIZE))
        emit NewDatabaseTask(DB_WORK_INSERT_TEMP_DATA, ToParam(new QUuid(m_uuidCurrentPatient)),
                             ToParam(chain));
    else if (complete)
        emit OnImportOnePatientDataFinished(new QUuid(m_uuidCurrentPatient));
    if (complete)
        RequestNextPatientOrFinish();
}

void CommunicationProcessControl::RequestNextPatientOrFinish()
{
    if (m_patientIdQueue.isEmpty()) {
        EndRun(true);
        return;
    }
    m_iCurrentPatientID = m_patientIdQueue.takeFirst();
    ++m_iPatientNumber;
    SendGetVitalDataRequestToDevice(CMD_PATIENT_UUID, m_iCurrentPatientID);
}

void CommunicationProcessControl::ClearStoredPorts()
{
    m_ports.fill(0);
}

void CommunicationProcessControl::DevicePlugInPlugOutStatusChanged(int num, unsigned short *port)
{
    std::unique_ptr<unsigned short[]> owned(port);
    if (num < 0)
        return;
    if (num == 0 || !port) {
        ClearStoredPorts();
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
    ClearStoredPorts();
    const int stored = qMin(num, MAX_PORT_COUNT);
    for (int i = 0; i < stored; ++i)
        m_ports[static_cast<size_t>(i)] = port[i];

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
    if (!firstPortChanged)
        return;
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

void CommunicationProcessControl::OnReadFinished()
{
    // The line is still busy with a damaged answer: the repeat waits for quiet.
    if (m_outstanding.IsDamaged() && m_outstanding.MaySendAgain())
        m_answerTimer.start(RETRY_QUIET_MS);
    if (m_bParsing) {
        m_bMoreBytes = true;
        return;
    }
    if (!m_pCommunication)
        return;
    m_bParsing = true;
    do {
        m_bMoreBytes = false;
        ParsePendingBytes();
    } while (m_bMoreBytes);
    m_bParsing = false;
}

void CommunicationProcessControl::ParsePendingBytes()
{
    m_stagingBuffer.fill(0);
    // Refill while frames are being consumed: a burst can leave complete
    // frames behind the staging window with no further bytes to come.
    for (;;) {
        int n = static_cast<int>(STAGING_BUFFER_SIZE);
        m_pCommunication->GetReadBuffer(reinterpret_cast<char *>(m_stagingBuffer.data()), n);
        if (n <= 0)
            return;
        const unsigned consumed = ParseStagedBytes(static_cast<unsigned>(n));
        if (consumed == 0 || static_cast<unsigned>(n) < STAGING_BUFFER_SIZE)
            return;
    }
}

unsigned CommunicationProcessControl::ParseStagedBytes(unsigned n)
{
    unsigned total = 0;
    const uint run = m_iRun;
    // A run started meanwhile has emptied the read buffer: the staged bytes are stale.
    while (n > 0 && run == m_iRun) {
        const unsigned c = ParseDevicePkg(m_stagingBuffer.data(), n);
        if (c == 0)
            break;
        std::memmove(m_stagingBuffer.data(), m_stagingBuffer.data() + c, n - c);
        n -= c;
        total += c;
        m_pCommunication->UpdateReadBuffer2(static_cast<int>(c));
    }
    return total;
}

QString CommunicationProcessControl::ConnectedPortPath() const
{
    if (m_portState != PortState::Open || m_iPortCount <= 0)
        return QString();
    return ComPortPath::DevicePath(m_ports[0]);
}

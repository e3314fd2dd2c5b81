#include "ImportConversation.h"

#include "ImportLog.h"

#include <utility>

namespace {

using Codec = DeviceFrameCodec;

quintptr ToParam(const void *pointer)
{
    return reinterpret_cast<quintptr>(pointer);
}

template <auto Decode>
void *DecodeChain(const unsigned char *data, unsigned length, unsigned *pSkipped)
{
    return Decode(data, length, pSkipped);
}

} // namespace

// The record answers, in the order a patient's records are asked for.
const ImportConversation::RecordAnswer ImportConversation::RECORD_ANSWERS[] = {
    {Codec::CMD_NIBP_DATA, DB_WORK_INSERT_NIBP_DATA, "ParseNIBPDataPkg",
     DecodeChain<Codec::DecodeNIBPChain>, Codec::CMD_SPO2_DATA},
    {Codec::CMD_SPO2_DATA, DB_WORK_INSERT_SPO2_DATA, "ParseSPO2DataPkg",
     DecodeChain<Codec::DecodeSPO2Chain>, Codec::CMD_TEMP_DATA},
    {Codec::CMD_TEMP_DATA, DB_WORK_INSERT_TEMP_DATA, "ParseTEMPDataPkg",
     DecodeChain<Codec::DecodeTEMPChain>, 0},
};

void ImportConversation::Reset()
{
    m_deviceSN.fill(0);
    m_patientIdQueue.clear();
    m_iCurrentPatientID = 0;
    m_uuidCurrentPatient = QUuid();
    m_listPackages.clear();
    m_iPatientCount = 0;
    m_iPatientNumber = 0;
}

void ImportConversation::HandleAnswer(unsigned short cmd, unsigned char pkgNo, bool bComplete,
                                      const unsigned char *data, unsigned length)
{
    switch (cmd) {
    case Codec::CMD_DEVICE_TYPE:
        IMPORT_LOG("ParseDeviceTypePkg");
        ParseDeviceTypePkg(data, length);
        break;
    case Codec::CMD_DEVICE_SN:
        IMPORT_LOG("ParseDeviceSNPkg");
        ParseDeviceSNPkg(data, length);
        break;
    case Codec::CMD_PATIENT_ID_LIST:
        IMPORT_LOG("ParsePatientIDListPkg");
        ParsePatientIDListPkg(pkgNo, bComplete, data, length);
        break;
    case Codec::CMD_PATIENT_UUID:
        IMPORT_LOG("ParseUuidDataPkg");
        ParseUuidDataPkg(bComplete, data, length);
        break;
    default:
        for (const RecordAnswer &kind : RECORD_ANSWERS) {
            if (kind.cmd == cmd) {
                IMPORT_LOG(kind.handler);
                ParseRecordsPkg(kind, bComplete, data, length);
            }
        }
        break;
    }
}

QString ImportConversation::GetDeviceSN() const
{
    QString text;
    for (char16_t c : m_deviceSN) {
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

void ImportConversation::ParseDeviceTypePkg(const unsigned char *data, unsigned length)
{
    IMPORT_LOG(Codec::DecodeDeviceType(data, length));
    m_peer.SendRequest(Codec::CMD_DEVICE_SN, 0);
}

void ImportConversation::ParseDeviceSNPkg(const unsigned char *data, unsigned length)
{
    m_deviceSN = Codec::DecodeDeviceSN(data, length);
    IMPORT_LOG("The following device start import data:");
    IMPORT_LOG(GetDeviceSN());
    m_peer.SendRequest(Codec::CMD_PATIENT_ID_LIST, 0);
}

void ImportConversation::ParsePatientIDListPkg(unsigned char pkgNo, bool bComplete,
                                               const unsigned char *data, unsigned length)
{
    // Each package carries its own count byte; the list is joined in package
    // order once complete (a repeated package may come in after the later ones).
    m_listPackages[pkgNo] = Codec::DecodePatientIds(data, length);
    if (!bComplete)
        return;
    m_patientIdQueue = {Codec::MONITOR_PATIENT_ID};
    for (const QVector<int> &part : std::as_const(m_listPackages))
        m_patientIdQueue += part;
    m_listPackages.clear();
    m_iPatientCount = static_cast<int>(m_patientIdQueue.size());
    RequestNextPatientOrFinish();
}

void ImportConversation::ParseUuidDataPkg(bool bComplete, const unsigned char *data,
                                          unsigned length)
{
    // A cut answer would mix this patient's UUID with the previous one's.
    if (!Codec::IsWholeUuid(length))
        IMPORT_LOG(
            QString::asprintf("ParseUuidDataPkg, incomplete uuid answer, length = %u", length));
    m_uuidCurrentPatient = Codec::DecodePatientUuid(data, length);

    if (!m_uuidCurrentPatient.isNull()) {
        auto *patient = new STU_DB_PATIENT_LIST();
        patient->PatientID = m_uuidCurrentPatient;
        std::copy(m_deviceSN.begin(), m_deviceSN.end(), patient->DeviceSN);
        patient->DeviceSN[Codec::DEVICE_SN_LENGTH - 1] = 0;
        patient->IdInDevice = static_cast<quint32>(m_iCurrentPatientID);
        IMPORT_LOG("emit NewDatabaseTask, the guid is:");
        IMPORT_LOG(m_uuidCurrentPatient.toString());
        m_peer.HandOverWork(DB_WORK_INSERT_NEW_PATIENT, ToParam(patient), 0);
    }

    if (!bComplete)
        return;
    if (m_uuidCurrentPatient.isNull())
        RequestNextPatientOrFinish();
    else
        m_peer.SendRequest(Codec::CMD_NIBP_DATA, m_iCurrentPatientID);
}

void ImportConversation::ParseRecordsPkg(const RecordAnswer &kind, bool bComplete,
                                         const unsigned char *data, unsigned length)
{
    unsigned skipped = 0;
    void *chain = kind.decode(data, length, &skipped);
    if (skipped > 0)
        IMPORT_LOG(QString::asprintf("%s, %u record(s) with an impossible time stamp skipped",
                                     kind.handler, skipped));
    // No work item without a record: it would only come back as a failure.
    if (chain)
        m_peer.HandOverWork(kind.iWorkType, ToParam(new QUuid(m_uuidCurrentPatient)),
                            ToParam(chain));
    if (!bComplete)
        return;
    if (kind.nextCmd != 0) {
        m_peer.SendRequest(kind.nextCmd, m_iCurrentPatientID);
        return;
    }
    // Stored records are reported by the database service; without any the
    // patient is finished here, whatever the answer's length.
    if (!chain)
        m_peer.PatientFinished(new QUuid(m_uuidCurrentPatient));
    RequestNextPatientOrFinish();
}

void ImportConversation::RequestNextPatientOrFinish()
{
    if (m_patientIdQueue.isEmpty()) {
        m_peer.ConversationFinished();
        return;
    }
    m_iCurrentPatientID = m_patientIdQueue.takeFirst();
    ++m_iPatientNumber;
    m_peer.SendRequest(Codec::CMD_PATIENT_UUID, m_iCurrentPatientID);
}

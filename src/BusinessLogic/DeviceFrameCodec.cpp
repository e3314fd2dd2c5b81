#include "DeviceFrameCodec.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <memory>

namespace {

using Codec = DeviceFrameCodec;

constexpr quint32 CRC_POLYNOMIAL = 0x04C11DB7u;
constexpr unsigned UUID_PAYLOAD_OFFSET = 2;
constexpr unsigned UUID_SIZE = 16;

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

void AppendU16(QByteArray &out, quint16 value)
{
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value & 0xFF));
}

// Null when the stamp names no real moment (month 13, hour 25, all zeros):
// such a record could never be told apart from the ones stored before.
QDateTime ReadTimeStamp(const unsigned char *p)
{
    const QDate date(Codec::ReadU16(p), p[2], p[3]);
    const QTime time(p[4], p[5], p[6], 0);
    return date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
}

void DecodeRecord(const unsigned char *p, STU_DB_NIBP_DATA_LIST &record)
{
    record.SysValue = Codec::ReadU16(p + 7);
    record.DiaValue = Codec::ReadU16(p + 9);
    record.MeanValue = Codec::ReadU16(p + 11);
    record.PrValue = Codec::ReadU16(p + 13);
}

void DecodeRecord(const unsigned char *p, STU_DB_SPO2_DATA_LIST &record)
{
    record.SPO2Value = Codec::ReadU16(p + 7);
    record.PrValue = Codec::ReadU16(p + 9);
}

void DecodeRecord(const unsigned char *p, STU_DB_TEMP_DATA_LIST &record)
{
    record.TempValue = static_cast<float>(Codec::ReadU16(p + 7) / 10.0);
}

template <typename Record>
Record *DecodeRecordChain(const unsigned char *data, unsigned length, unsigned recordSize,
                          unsigned *pSkipped)
{
    Record *head = nullptr;
    Record **tail = &head;
    unsigned skipped = 0;
    for (unsigned offset = 0; offset + recordSize <= length; offset += recordSize) {
        const QDateTime time = ReadTimeStamp(data + offset);
        if (!time.isValid()) {
            ++skipped;
            continue;
        }
        auto record = std::make_unique<Record>();
        record->MeasureTime = time;
        DecodeRecord(data + offset, *record);
        *tail = record.release();
        tail = &(*tail)->pNext;
    }
    if (pSkipped)
        *pSkipped = skipped;
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

} // namespace

unsigned DeviceFrameCodec::CalculateCRCValue(const unsigned char *data, unsigned length)
{
    if (!data || length == 0)
        return 0;
    quint32 crc = 0;
    for (unsigned i = 0; i < length; ++i)
        crc = (crc << 8) ^ CRC_TABLE.entries[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

QByteArray DeviceFrameCodec::BuildRequestFrame(unsigned short cmd, bool withSelector,
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

bool DeviceFrameCodec::IsVitalDataCommand(unsigned short cmd)
{
    return cmd == CMD_PATIENT_UUID || cmd == CMD_NIBP_DATA || cmd == CMD_SPO2_DATA ||
           cmd == CMD_TEMP_DATA;
}

bool DeviceFrameCodec::IsAnswerCommand(unsigned short cmd)
{
    return IsVitalDataCommand(cmd) || cmd == CMD_DEVICE_TYPE || cmd == CMD_DEVICE_SN ||
           cmd == CMD_PATIENT_ID_LIST;
}

QByteArray DeviceFrameCodec::HexDump(const unsigned char *data, unsigned length)
{
    QByteArray dump;
    dump.reserve(static_cast<qsizetype>(length) * 3);
    for (unsigned i = 0; i < length; ++i)
        dump.append(QByteArray::number(data[i], 16).toUpper().rightJustified(2, '0')).append(' ');
    return dump;
}

QString DeviceFrameCodec::DecodeDeviceType(const unsigned char *data, unsigned length)
{
    const unsigned textLength = qMin(length, DEVICE_TYPE_MAX_LENGTH);
    const char *text = reinterpret_cast<const char *>(data);
    return QString::fromLatin1(text, static_cast<qsizetype>(qstrnlen(text, textLength)));
}

DeviceFrameCodec::DeviceSerialNumber DeviceFrameCodec::DecodeDeviceSN(const unsigned char *data,
                                                                      unsigned length)
{
    DeviceSerialNumber sn{};
    const unsigned textLength = qMin(length, DEVICE_SN_MAX_LENGTH);
    for (unsigned i = 0; i < textLength; ++i)
        sn[i] = static_cast<char16_t>(data[i]);
    return sn;
}

QVector<int> DeviceFrameCodec::DecodePatientIds(const unsigned char *data, unsigned length)
{
    QVector<int> ids;
    for (unsigned i = 1; i < length; ++i) {
        if (data[i] <= MAX_DEVICE_PATIENT_ID)
            ids.append(data[i]);
    }
    return ids;
}

bool DeviceFrameCodec::IsWholeUuid(unsigned length)
{
    return length >= UUID_PAYLOAD_OFFSET + UUID_SIZE;
}

QUuid DeviceFrameCodec::DecodePatientUuid(const unsigned char *data, unsigned length)
{
    return IsWholeUuid(length) ? ReadUuidInMemoryOrder(data + UUID_PAYLOAD_OFFSET) : QUuid();
}

STU_DB_NIBP_DATA_LIST *DeviceFrameCodec::DecodeNIBPChain(const unsigned char *data, unsigned length,
                                                         unsigned *pSkipped)
{
    return DecodeRecordChain<STU_DB_NIBP_DATA_LIST>(data, length, NIBP_RECORD_SIZE, pSkipped);
}

STU_DB_SPO2_DATA_LIST *DeviceFrameCodec::DecodeSPO2Chain(const unsigned char *data, unsigned length,
                                                         unsigned *pSkipped)
{
    return DecodeRecordChain<STU_DB_SPO2_DATA_LIST>(data, length, SPO2_RECORD_SIZE, pSkipped);
}

STU_DB_TEMP_DATA_LIST *DeviceFrameCodec::DecodeTEMPChain(const unsigned char *data, unsigned length,
                                                         unsigned *pSkipped)
{
    return DecodeRecordChain<STU_DB_TEMP_DATA_LIST>(data, length, TEMP_RECORD_SIZE, pSkipped);
}

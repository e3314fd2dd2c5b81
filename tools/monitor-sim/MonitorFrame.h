#pragma once

#include <QByteArray>

#include <cstdint>

// Frames as the monitor sees them: it answers with start byte 0xBB and reads
// requests that start with 0xAA. The CRC is computed bit by bit here, apart
// from the program's table, so the two check each other.
namespace MonitorFrame {

constexpr unsigned char REQUEST_START = 0xAA;
constexpr unsigned char ANSWER_START = 0xBB;
constexpr unsigned char PROTOCOL = 0x19;
constexpr int HEADER_SIZE = 8;
constexpr int CRC_SIZE = 4;
constexpr int MAX_PAYLOAD = 4096;

constexpr std::uint16_t CMD_DEVICE_TYPE = 0x0200;
constexpr std::uint16_t CMD_DEVICE_SN = 0x0202;
constexpr std::uint16_t CMD_PATIENT_ID_LIST = 0x0210;
constexpr std::uint16_t CMD_PATIENT_UUID = 0x0211;
constexpr std::uint16_t CMD_NIBP = 0x020D;
constexpr std::uint16_t CMD_SPO2 = 0x020E;
constexpr std::uint16_t CMD_TEMP = 0x020F;
constexpr std::uint16_t CMD_UNKNOWN_ERROR = 0x0F00;
constexpr std::uint16_t CMD_CRC_ERROR = 0x0F01;

std::uint32_t Crc32(const unsigned char *data, std::size_t length);
std::uint32_t Crc32(const QByteArray &bytes);

// One frame: start byte, 0x19, code, package number and count, length,
// payload, CRC (all big-endian).
QByteArray Build(unsigned char startByte, std::uint16_t cmd, unsigned char pkgNo,
                 unsigned char pkgCount, const QByteArray &payload);
QByteArray BuildAnswer(std::uint16_t cmd, unsigned char pkgNo, unsigned char pkgCount,
                       const QByteArray &payload);

void AppendU16(QByteArray &out, std::uint16_t value);
std::uint16_t ReadU16(const QByteArray &bytes, int offset);

struct Request
{
    std::uint16_t cmd = 0;
    QByteArray payload;
    bool crcValid = true;
};

// Takes the next request off the front of buffer. Returns false while no
// complete request is there; bytes that cannot start one are dropped.
bool TakeRequest(QByteArray &buffer, Request &request);

} // namespace MonitorFrame

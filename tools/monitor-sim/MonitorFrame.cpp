#include "MonitorFrame.h"

namespace MonitorFrame {

namespace {

constexpr std::uint32_t POLYNOMIAL = 0x04C11DB7u;
// Requests carry at most the 17-byte patient selector; anything longer is a
// false start.
constexpr int MAX_REQUEST_PAYLOAD = 256;

} // namespace

std::uint32_t Crc32(const unsigned char *data, std::size_t length)
{
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool inBit = (data[i] >> bit) & 1u;
            const bool topBit = (crc >> 31) & 1u;
            crc <<= 1;
            if (inBit != topBit)
                crc ^= POLYNOMIAL;
        }
    }
    return crc;
}

std::uint32_t Crc32(const QByteArray &bytes)
{
    return Crc32(reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<std::size_t>(bytes.size()));
}

void AppendU16(QByteArray &out, std::uint16_t value)
{
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value & 0xFF));
}

std::uint16_t ReadU16(const QByteArray &bytes, int offset)
{
    return static_cast<std::uint16_t>((static_cast<unsigned char>(bytes[offset]) << 8) |
                                      static_cast<unsigned char>(bytes[offset + 1]));
}

QByteArray Build(unsigned char startByte, std::uint16_t cmd, unsigned char pkgNo,
                 unsigned char pkgCount, const QByteArray &payload)
{
    QByteArray frame;
    frame.reserve(HEADER_SIZE + payload.size() + CRC_SIZE);
    frame.append(static_cast<char>(startByte));
    frame.append(static_cast<char>(PROTOCOL));
    AppendU16(frame, cmd);
    frame.append(static_cast<char>(pkgNo));
    frame.append(static_cast<char>(pkgCount));
    AppendU16(frame, static_cast<std::uint16_t>(payload.size()));
    frame.append(payload);
    const std::uint32_t crc = Crc32(frame);
    AppendU16(frame, static_cast<std::uint16_t>(crc >> 16));
    AppendU16(frame, static_cast<std::uint16_t>(crc & 0xFFFF));
    return frame;
}

QByteArray BuildAnswer(std::uint16_t cmd, unsigned char pkgNo, unsigned char pkgCount,
                       const QByteArray &payload)
{
    return Build(ANSWER_START, cmd, pkgNo, pkgCount, payload);
}

bool TakeRequest(QByteArray &buffer, Request &request)
{
    for (;;) {
        const int start = buffer.indexOf(static_cast<char>(REQUEST_START));
        if (start < 0) {
            buffer.clear();
            return false;
        }
        buffer.remove(0, start);
        if (buffer.size() < HEADER_SIZE)
            return false;
        const int length = ReadU16(buffer, 6);
        if (static_cast<unsigned char>(buffer[1]) != PROTOCOL || length > MAX_REQUEST_PAYLOAD) {
            buffer.remove(0, 1);
            continue;
        }
        const int total = HEADER_SIZE + length + CRC_SIZE;
        if (buffer.size() < total)
            return false;
        const std::uint32_t received =
            (std::uint32_t(ReadU16(buffer, HEADER_SIZE + length)) << 16) |
            ReadU16(buffer, HEADER_SIZE + length + 2);
        request.cmd = ReadU16(buffer, 2);
        request.payload = buffer.mid(HEADER_SIZE, length);
        request.crcValid =
            received == Crc32(reinterpret_cast<const unsigned char *>(buffer.constData()),
                              static_cast<std::size_t>(HEADER_SIZE + length));
        buffer.remove(0, request.crcValid ? total : 1);
        return true;
    }
}

} // namespace MonitorFrame

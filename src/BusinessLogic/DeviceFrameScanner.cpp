#include "DeviceFrameScanner.h"

#include "DeviceFrameCodec.h"

#include <cstring>

namespace {

using Codec = DeviceFrameCodec;

// Index of the next answer start byte at or after from, or length if none.
unsigned FindStartByte(const unsigned char *buffer, unsigned from, unsigned length)
{
    const void *hit = from < length
                          ? std::memchr(buffer + from, Codec::ANSWER_START_BYTE, length - from)
                          : nullptr;
    return hit ? static_cast<unsigned>(static_cast<const unsigned char *>(hit) - buffer) : length;
}

DeviceFrameScanner::Result UsedUp(unsigned consumed)
{
    DeviceFrameScanner::Result result;
    result.consumed = consumed;
    return result;
}

} // namespace

const unsigned char *DeviceFrameScanner::Result::Payload() const
{
    return frame ? frame + Codec::FRAME_HEADER_SIZE : nullptr;
}

DeviceFrameScanner::Result DeviceFrameScanner::Scan(const unsigned char *buffer, unsigned length)
{
    if (!buffer || length == 0)
        return UsedUp(0);
    const unsigned p = FindStartByte(buffer, 0, length);
    const unsigned remaining = length - p;
    if (remaining < Codec::FRAME_HEADER_SIZE)
        return UsedUp(p);
    const unsigned char *frame = buffer + p;
    if (frame[1] != Codec::PROTOCOL_BYTE)
        return UsedUp(FindStartByte(buffer, p + 1, length));
    const unsigned dataLength = Codec::ReadU16(frame + 6);
    if (dataLength > Codec::MAX_ANSWER_PAYLOAD)
        return UsedUp(FindStartByte(buffer, p + 1, length));
    if (dataLength + Codec::FRAME_CRC_SIZE > remaining - Codec::FRAME_HEADER_SIZE)
        return UsedUp(p);

    Result result;
    result.frame = frame;
    result.cmd = Codec::ReadU16(frame + 2);
    result.pkgNo = frame[4];
    result.pkgCount = frame[5];
    result.payloadLength = dataLength;
    result.crcCalc = Codec::CalculateCRCValue(frame, dataLength + Codec::FRAME_HEADER_SIZE);
    result.crcSent = Codec::ReadU32(frame + Codec::FRAME_HEADER_SIZE + dataLength);
    if (result.crcSent != result.crcCalc) {
        result.found = Found::Damaged;
        result.consumed = FindStartByte(buffer, p + 1, length);
        return result;
    }
    result.found = Found::Frame;
    result.consumed = p + dataLength + Codec::FRAME_HEADER_SIZE + Codec::FRAME_CRC_SIZE;
    return result;
}

#pragma once

#include <QtGlobal>

// Finds the monitor's answer frames in received bytes: noise before a frame,
// false starts and frames with a wrong CRC are passed over, an incomplete
// frame waits for more bytes. Plain code; it neither keeps nor changes
// anything, so one call looks at the bytes once and says how many of them
// are used up.
class DeviceFrameScanner
{
public:
    enum class Found
    {
        Nothing, // only noise or a false start was used up, or more bytes are needed
        Frame,   // a frame with a correct CRC ends the used-up bytes
        Damaged, // a frame with a wrong CRC: only its start byte is used up
    };

    struct Result
    {
        // Leading bytes used up; 0 = nothing can be done until more arrive.
        unsigned consumed = 0;
        Found found = Found::Nothing;
        // For Frame and Damaged: the frame's start byte, its header fields and
        // its payload (L bytes from the end of the header).
        const unsigned char *frame = nullptr;
        unsigned short cmd = 0;
        unsigned char pkgNo = 0;
        unsigned char pkgCount = 0;
        unsigned payloadLength = 0;
        // For Damaged: the CRC the frame carries and the one its bytes give.
        quint32 crcSent = 0;
        quint32 crcCalc = 0;

        const unsigned char *Payload() const;
    };

    // At most one frame per call; the caller removes result.consumed bytes and
    // calls again while bytes remain and the count is not 0.
    static Result Scan(const unsigned char *buffer, unsigned length);
};

#pragma once

#include "ComDeviceBase.h"

#include <memory>

class ComAccess;

// The monitor's virtual serial port: 115200 baud, 8 data bits, no parity, one
// stop bit. Port number n is the device ComPortPath::DevicePath(n).
class ComPortDevice : public ComDeviceBase
{
public:
    static constexpr int kBaudRate = 115200;

    ComPortDevice();
    ~ComPortDevice() override;

    bool Open(int com) override;
    bool Close() override;
    bool Write(void *data, unsigned length, unsigned *written) override;
    bool Read(void *buffer, unsigned length, unsigned *read) override;
    int GetComNumber() override;
    int GetBytesToRead() override;
    int GetOpenError() override;
    void NotifyArrival(std::function<void()> onArrival) override;

private:
    int m_comNumber = -1;
    std::unique_ptr<ComAccess> m_access;
};

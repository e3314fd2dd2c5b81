#include "ComPortDevice.h"

#include "ComAccess.h"
#include "ComPortPath.h"

#include <utility>

ComPortDevice::ComPortDevice() : m_access(std::make_unique<ComAccess>()) {}

ComPortDevice::~ComPortDevice()
{
    Close();
}

bool ComPortDevice::Open(int com)
{
    m_comNumber = com;
    return m_access->Open(ComPortPath::DevicePath(com), com, kBaudRate, QSerialPort::NoParity,
                          QSerialPort::OneStop, QSerialPort::Data8) == 1;
}

bool ComPortDevice::Close()
{
    m_access->Close();
    return true;
}

bool ComPortDevice::Write(void *data, unsigned length, unsigned *written)
{
    const unsigned count = m_access->Write(data, length);
    if (written)
        *written = count;
    return true;
}

bool ComPortDevice::Read(void *buffer, unsigned length, unsigned *read)
{
    const unsigned count = m_access->Read(buffer, length);
    if (read)
        *read = count;
    return true;
}

int ComPortDevice::GetComNumber()
{
    return m_comNumber;
}

int ComPortDevice::GetBytesToRead()
{
    return m_access->GetBytesToRead();
}

void ComPortDevice::NotifyArrival(std::function<void()> onArrival)
{
    m_access->SetArrivalHandler(std::move(onArrival));
}

int ComPortDevice::GetOpenError()
{
    return m_access->LastOpenError();
}

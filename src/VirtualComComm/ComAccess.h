#pragma once

#include "ComOpenError.h"

#include <QSerialPort>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

// The state of one open serial port. The port object is created on the thread
// that opens it (the communication worker's) and is used only there.
class ComAccess
{
public:
    // How long a write waits at most for the output queue to drain, so that an
    // unplugged monitor can never hang the worker.
    static constexpr int kWriteDrainLimitMs = 2000;
    static constexpr int kWriteDrainStepMs = 10;

    ComAccess();
    ~ComAccess();
    ComAccess(const ComAccess &) = delete;
    ComAccess &operator=(const ComAccess &) = delete;

    // Opens the device at path (com is the port number, for the log). Returns 1
    // on success, 0 on failure (logged, port left closed).
    int Open(const QString &path, int com, qint32 baudRate, QSerialPort::Parity parity,
             QSerialPort::StopBits stopBits, QSerialPort::DataBits byteSize);
    void Close();
    bool IsOpen() const;
    // Why the last Open failed; COM_OPEN_OK after a success.
    ComOpenError LastOpenError() const { return m_openError; }
    // Returns the count read; never waits.
    unsigned Read(void *buffer, unsigned length);
    // Waits (bounded) while the output queue holds bytes, then writes; returns
    // the count accepted.
    unsigned Write(const void *data, unsigned length);
    int GetBytesToRead() const;
    // Called, on the port's thread, whenever the port has taken in new bytes.
    void SetArrivalHandler(std::function<void()> onArrival) { m_onArrival = std::move(onArrival); }

private:
    bool Configure(qint32 baudRate, QSerialPort::Parity parity, QSerialPort::StopBits stopBits,
                   QSerialPort::DataBits byteSize);
    void WaitForEmptyOutputQueue();
    QString ErrorText() const;
    static ComOpenError MapOpenError(QSerialPort::SerialPortError error);

    std::unique_ptr<QSerialPort> m_port;
    ComOpenError m_openError = COM_OPEN_OK;
    std::function<void()> m_onArrival;
};

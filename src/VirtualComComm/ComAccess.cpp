#include "ComAccess.h"

#include "MLog.h"

#include <QDeadlineTimer>

#include <climits>

ComAccess::ComAccess() = default;

ComAccess::~ComAccess()
{
    Close();
}

int ComAccess::Open(const QString &path, int com, qint32 baudRate, QSerialPort::Parity parity,
                    QSerialPort::StopBits stopBits, QSerialPort::DataBits byteSize)
{
    // A second open must not leave the first port behind.
    Close();
    m_openError = COM_OPEN_OK;
    if (path.isEmpty()) {
        m_openError = COM_OPEN_NOT_FOUND;
        MLOG(QStringLiteral("Open(): CreateFile() failed, invalid handle value. Error CODE: %1. "
                            "COM:%2 (no device path): No device has this port number")
                 .arg(int(QSerialPort::DeviceNotFoundError))
                 .arg(com));
        return 0;
    }
    m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(path);
    if (!m_port->open(QIODevice::ReadWrite)) {
        MLOG(QStringLiteral("Open(): CreateFile() failed, invalid handle value. Error CODE: %1. "
                            "COM:%2 (%3): %4")
                 .arg(int(m_port->error()))
                 .arg(com)
                 .arg(path, ErrorText()));
        m_openError = MapOpenError(m_port->error());
        m_port.reset();
        return 0;
    }
    if (!Configure(baudRate, parity, stopBits, byteSize)) {
        MLOG(QStringLiteral("Open(): SetCommState() failed. COM:%1 (%2): %3")
                 .arg(com)
                 .arg(path, ErrorText()));
        m_openError = COM_OPEN_SETUP_FAILED;
        Close();
        return 0;
    }
    m_port->clear(QSerialPort::AllDirections);
    QObject::connect(m_port.get(), &QSerialPort::readyRead, m_port.get(), [this] {
        if (m_onArrival)
            m_onArrival();
    });
    return 1;
}

ComOpenError ComAccess::MapOpenError(QSerialPort::SerialPortError error)
{
    // A port held by another program (its lock file, or an exclusive open)
    // is reported as a permission error, like a missing dialout membership.
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return COM_OPEN_NOT_FOUND;
    case QSerialPort::PermissionError:
        return COM_OPEN_ACCESS_DENIED;
    default:
        return COM_OPEN_FAILED;
    }
}

bool ComAccess::Configure(qint32 baudRate, QSerialPort::Parity parity,
                          QSerialPort::StopBits stopBits, QSerialPort::DataBits byteSize)
{
    // Flow control stays as the port was opened with.
    return m_port->setBaudRate(baudRate) && m_port->setDataBits(byteSize) &&
           m_port->setParity(parity) && m_port->setStopBits(stopBits);
}

void ComAccess::Close()
{
    if (!m_port)
        return;
    m_port->close();
    m_port.reset();
}

bool ComAccess::IsOpen() const
{
    return m_port && m_port->isOpen();
}

unsigned ComAccess::Read(void *buffer, unsigned length)
{
    if (!buffer || length == 0 || !IsOpen())
        return 0;
    const qint64 got = m_port->read(static_cast<char *>(buffer), length);
    return got > 0 ? static_cast<unsigned>(got) : 0;
}

unsigned ComAccess::Write(const void *data, unsigned length)
{
    if (!data || length == 0 || !IsOpen())
        return 0;
    WaitForEmptyOutputQueue();
    const qint64 accepted = m_port->write(static_cast<const char *>(data), length);
    if (accepted <= 0)
        return 0;
    // Hand what the system takes at once to it now; the rest follows as the
    // port becomes writable.
    m_port->flush();
    return static_cast<unsigned>(accepted);
}

void ComAccess::WaitForEmptyOutputQueue()
{
    const QDeadlineTimer deadline(kWriteDrainLimitMs);
    while (m_port->bytesToWrite() > 0 && !deadline.hasExpired()) {
        m_port->clearError();
        if (m_port->waitForBytesWritten(kWriteDrainStepMs))
            continue;
        // Anything but a plain time-out (an unplugged device) ends the wait.
        if (m_port->error() != QSerialPort::TimeoutError)
            break;
    }
}

int ComAccess::GetBytesToRead() const
{
    if (!IsOpen())
        return 0;
    const qint64 waiting = m_port->bytesAvailable();
    return waiting > INT_MAX ? INT_MAX : static_cast<int>(waiting);
}

QString ComAccess::ErrorText() const
{
    return m_port ? m_port->errorString() : QString();
}

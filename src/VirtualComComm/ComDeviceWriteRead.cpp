#include "ComDeviceWriteRead.h"

#include "ComOpenError.h"
#include "ComPortDevice.h"
#include "ComPortPath.h"
#include "MLog.h"

#include <QTimer>

#include <new>

ComDeviceWriteRead::ComDeviceWriteRead(QObject *parent)
    : QObject(parent), m_pollTimer(new QTimer(this))
{
    m_pollTimer->setInterval(kPollIntervalMs);
    connect(m_pollTimer, &QTimer::timeout, this, &ComDeviceWriteRead::Read);
    // Posted, so the timer starts in whichever thread this object lives in
    // once that thread runs its event loop.
    QTimer *timer = m_pollTimer;
    QMetaObject::invokeMethod(
        timer, [timer] { timer->start(); }, Qt::QueuedConnection);
}

ComDeviceWriteRead::~ComDeviceWriteRead() = default;

void ComDeviceWriteRead::ReleaseDevice()
{
    m_pollTimer->stop();
    m_device.reset();
    m_opened = false;
    m_comNumber = -1;
}

void ComDeviceWriteRead::Open(int com)
{
    if (com < 0)
        return;
    m_comNumber = com;
    if (!m_device) {
        m_device = std::make_unique<ComPortDevice>();
        // An answer is handed on when it arrives; the poll stays as a fallback.
        m_device->NotifyArrival([this] { Read(); });
    }
    m_opened = m_device->Open(com);
    const QString where = QStringLiteral(" COM:%1 (%2)").arg(com).arg(ComPortPath::DevicePath(com));
    MLOG((m_opened ? QStringLiteral("open com success.") : QStringLiteral("open com failed.")) +
         where);
    emit OpenFinish(com, m_opened ? int(COM_OPEN_OK) : m_device->GetOpenError());
}

void ComDeviceWriteRead::Close()
{
    MLOG("Close com device");
    if (m_comNumber <= 0 || !m_device)
        return;
    m_comNumber = -1;
    m_device->Close();
    emit CloseFinish(true);
}

void ComDeviceWriteRead::Read()
{
    if (!m_device || m_comNumber < 1)
        return;
    const int waiting = m_device->GetBytesToRead();
    if (waiting <= 0)
        return;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[waiting]());
    if (!buffer)
        return;
    unsigned got = 0;
    m_device->Read(buffer.get(), static_cast<unsigned>(waiting), &got);
    if (got > 0)
        emit ReadFinish(buffer.release(), static_cast<int>(got), true);
}

void ComDeviceWriteRead::Write(char *data, int sz)
{
    std::unique_ptr<char[]> owned(data);
    if (!data || sz <= 0)
        return;
    if (!m_device || m_comNumber < 0)
        return;
    const int total = WriteAll(data, sz);
    owned.reset();
    if (total > 0)
        emit WriteFinish(total, true);
}

int ComDeviceWriteRead::WriteAll(char *data, int sz)
{
    unsigned written = 0;
    m_device->Write(data, static_cast<unsigned>(sz), &written);
    int total = static_cast<int>(written);
    for (int attempt = 0; total < sz && attempt < kMaxFurtherWriteAttempts; ++attempt) {
        written = 0;
        m_device->Write(data + total, static_cast<unsigned>(sz - total), &written);
        total += static_cast<int>(written);
    }
    return total;
}

#include "ComDeviceScanThread.h"

#include "ComDeviceMetaTypes.h"
#include "ComPortEnumeration.h"

#include <QMetaMethod>
#include <QThread>
#include <QTimer>

#include <algorithm>

ComDeviceScanThread::ComDeviceScanThread()
    : m_thread(std::make_unique<QThread>()), m_scanTimer(std::make_unique<QTimer>())
{
    RegisterComDeviceMetaTypes();
    moveToThread(m_thread.get());
    m_scanTimer->setInterval(kScanIntervalMs);
    connect(m_scanTimer.get(), &QTimer::timeout, this, &ComDeviceScanThread::ScanSerialPort,
            Qt::QueuedConnection);
    m_thread->start(QThread::InheritPriority);
    m_scanTimer->start();
}

ComDeviceScanThread::~ComDeviceScanThread()
{
    m_scanTimer->stop();
    m_scanTimer.reset();
    if (m_thread->isRunning()) {
        m_thread->quit();
        m_thread->wait();
    }
    m_thread.reset();
}

void ComDeviceScanThread::ScanSerialPort()
{
    auto ports = std::make_unique<unsigned short[]>(kMaxPorts);
    const int num = ComPortEnumeration::EnumerateMonitorPorts(ports.get(), kMaxPorts);
    if (SameAsReported(num, ports.get()))
        return;
    m_reportedCount = num;
    std::copy(ports.get(), ports.get() + kMaxPorts, m_reportedPorts);
    // With no receiver nobody would free the array.
    if (!isSignalConnected(QMetaMethod::fromSignal(&ComDeviceScanThread::DeviceNumChanged)))
        return;
    emit DeviceNumChanged(num, ports.release());
}

bool ComDeviceScanThread::SameAsReported(int num, const unsigned short *ports) const
{
    if (num != m_reportedCount)
        return false;
    return std::equal(ports, ports + num, m_reportedPorts);
}

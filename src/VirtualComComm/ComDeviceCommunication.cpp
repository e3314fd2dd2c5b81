#include "ComDeviceCommunication.h"

#include "ComDeviceCommThread.h"
#include "ComDeviceMetaTypes.h"
#include "ComDeviceWriteRead.h"
#include "MLog.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <cstring>
#include <new>

ComDeviceCommunication::ComDeviceCommunication(QObject *parent)
    : QObject(parent), m_thread(std::make_unique<ComDeviceCommThread>()),
      m_worker(std::make_unique<ComDeviceWriteRead>()),
      m_readBuffer(std::make_unique<char[]>(kReadBufferSize))
{
    RegisterComDeviceMetaTypes();
    m_worker->moveToThread(m_thread.get());
    ComDeviceWriteRead *worker = m_worker.get();
    connect(worker, &ComDeviceWriteRead::ReadFinish, this,
            &ComDeviceCommunication::ReadFinishedSlot);
    connect(worker, &ComDeviceWriteRead::WriteFinish, this,
            &ComDeviceCommunication::WriteFinishedSlot);
    connect(worker, &ComDeviceWriteRead::OpenFinish, this,
            &ComDeviceCommunication::OpenFinishedSlot);
    connect(this, &ComDeviceCommunication::OpenComSig, worker, &ComDeviceWriteRead::Open);
    connect(this, &ComDeviceCommunication::WriteComSig, worker, &ComDeviceWriteRead::Write);
    connect(this, &ComDeviceCommunication::CloseComSig, worker, &ComDeviceWriteRead::Close);
    m_thread->setStackSize(ComDeviceCommThread::kStackSize);
}

ComDeviceCommunication::~ComDeviceCommunication()
{
    emit CloseComSig();
    StopWorker();
}

void ComDeviceCommunication::StopWorker()
{
    // Requests already queued (write copies among them) must reach the worker
    // to be freed, so the thread runs at least once.
    if (!m_thread->isRunning())
        m_thread->start(QThread::InheritPriority);
    ComDeviceWriteRead *worker = m_worker.get();
    QMetaObject::invokeMethod(
        worker, [worker] { worker->ReleaseDevice(); }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    // Read chunks already on their way here are owned by this object.
    m_stopping = true;
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void ComDeviceCommunication::OpenDevice(int socket_descriptor)
{
    emit OpenComSig(socket_descriptor);
    if (!m_thread->isRunning())
        m_thread->start(QThread::InheritPriority);
}

void ComDeviceCommunication::CloseDevice()
{
    emit CloseComSig();
}

bool ComDeviceCommunication::WriteDataToDev(unsigned char *data, int sz)
{
    if (!data || sz <= 0)
        return false;
    char *copy = new (std::nothrow) char[sz];
    if (!copy)
        return false;
    std::memcpy(copy, data, static_cast<size_t>(sz));
    emit WriteComSig(copy, sz);
    return true;
}

void ComDeviceCommunication::GetReadBuffer(char *data, int &sz)
{
    if (!data || sz <= 0) {
        sz = 0;
        return;
    }
    sz = std::min(sz, m_pendingBytes);
    std::memcpy(data, m_readBuffer.get() + m_head, static_cast<size_t>(sz));
}

void ComDeviceCommunication::UpdateReadBuffer2(int sz)
{
    if (sz <= 0 || m_pendingBytes <= 0)
        return;
    const int removed = std::min(sz, m_pendingBytes);
    m_pendingBytes -= removed;
    m_head = m_pendingBytes == 0 ? 0 : m_head + removed;
}

void ComDeviceCommunication::ReadDataFromDev(char *&data, int &size)
{
    data = m_readBuffer.get() + m_head;
    size = m_pendingBytes;
}

void ComDeviceCommunication::ClearReadWriteBuffer()
{
    m_head = 0;
    m_pendingBytes = 0;
}

void ComDeviceCommunication::ReadFinishedSlot(char *readed_data_buffer, int len, bool success)
{
    std::unique_ptr<char[]> chunk(readed_data_buffer);
    if (len < 1 || !chunk || !success || m_stopping)
        return;
    // The buffer is never filled completely: a chunk must leave a byte free.
    if (len < kReadBufferSize - m_pendingBytes) {
        if (m_head + m_pendingBytes + len > kReadBufferSize) {
            std::memmove(m_readBuffer.get(), m_readBuffer.get() + m_head,
                         static_cast<size_t>(m_pendingBytes));
            m_head = 0;
        }
        std::memcpy(m_readBuffer.get() + m_head + m_pendingBytes, chunk.get(),
                    static_cast<size_t>(len));
        chunk.reset();
        m_pendingBytes += len;
        emit ReadFinished();
        return;
    }
    chunk.reset();
    ClearReadWriteBuffer();
    if (len < kReadBufferSize)
        MLOG("Read Buffer of USBDevCommunication overflowed.");
}

void ComDeviceCommunication::WriteFinishedSlot(int writed, bool success)
{
    if (writed >= 1 && success && !m_stopping)
        emit WriteFinished();
}

void ComDeviceCommunication::OpenFinishedSlot(int com, int iError)
{
    if (!m_stopping)
        emit OpenFinished(com, iError);
}

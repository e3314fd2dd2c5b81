#pragma once

#include <QObject>

#include <memory>

class ComDeviceCommThread;
class ComDeviceWriteRead;

// The device link's front, in the GUI thread: open, close and write requests
// go to the worker thread; received bytes gather in a 512 KiB read buffer and
// ReadFinished() tells that new bytes have arrived. The buffer is the only place
// where received bytes wait: readers look at them in place and remove what they
// have used from the front, which costs no copy; the rest moves down only when
// a new chunk would not fit behind it.
class ComDeviceCommunication : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadBufferSize = 0x80000;

    explicit ComDeviceCommunication(QObject *parent = nullptr);
    ~ComDeviceCommunication() override;

signals:
    void ReadFinished();
    void WriteFinished();
    // The outcome of opening port com: a ComOpenError, COM_OPEN_OK on success.
    void OpenFinished(int com, int iError);
    void OpenComSig(int socket_descriptor);
    // data is a new char[size]; ownership passes to the worker, which frees it.
    void WriteComSig(char *data, int size);
    void CloseComSig();

public slots:
    void OpenDevice(int socket_descriptor);
    void CloseDevice();
    // Queues a copy of the sz bytes for the worker. True means queued, not yet
    // written.
    bool WriteDataToDev(unsigned char *data, int sz);
    // Copies the pending bytes, at most sz of them, into data; sz becomes the
    // count copied. The bytes stay pending.
    void GetReadBuffer(char *data, int &sz);
    // Removes the first sz pending bytes.
    void UpdateReadBuffer2(int sz);
    // Points data at the first pending byte, without copying; valid until the
    // next chunk is taken in.
    void ReadDataFromDev(char *&data, int &size);
    void ClearReadWriteBuffer();
    // Takes ownership of readed_data_buffer (a new char[len]).
    void ReadFinishedSlot(char *readed_data_buffer, int len, bool success);
    void WriteFinishedSlot(int writed, bool success);
    void OpenFinishedSlot(int com, int iError);

private:
    void StopWorker();

    // Declared in this order so that the worker goes before its thread.
    std::unique_ptr<ComDeviceCommThread> m_thread;
    std::unique_ptr<ComDeviceWriteRead> m_worker;
    std::unique_ptr<char[]> m_readBuffer;
    int m_head = 0; // index of the first pending byte
    int m_pendingBytes = 0;
    // Set while being destroyed: late read chunks are freed, not reported.
    bool m_stopping = false;
};

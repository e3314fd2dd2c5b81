#pragma once

#include <QObject>

#include <memory>

class ComDeviceBase;
class QTimer;

// Does every call on the serial device, on the communication thread: opens and
// closes on request, writes whole buffers, and hands on received bytes as soon
// as the port has them (and, should the device not tell, at the next poll;
// it polls every millisecond).
class ComDeviceWriteRead : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = 1;
    static constexpr int kMaxFurtherWriteAttempts = 10000;

    explicit ComDeviceWriteRead(QObject *parent = nullptr);
    ~ComDeviceWriteRead() override;

    // Orderly stop, run on the worker's own thread before it ends: stops the
    // poll and closes and destroys the device.
    void ReleaseDevice();

signals:
    // readed_data_buffer is a new char[readed]; ownership passes to the
    // receiver, which frees it with delete[].
    void ReadFinish(char *readed_data_buffer, int readed, bool success);
    void WriteFinish(int writed, bool success);
    void CloseFinish(bool success);
    // The outcome of Open(com): a ComOpenError.
    void OpenFinish(int com, int iError);

public slots:
    void Open(int com);
    void Close();
    void Read();
    // Takes ownership of data (a new char[sz]) and frees it in every case.
    void Write(char *data, int sz);

private:
    int WriteAll(char *data, int sz);

    std::unique_ptr<ComDeviceBase> m_device;
    bool m_opened = false;
    int m_comNumber = -1;
    QTimer *m_pollTimer = nullptr;
};

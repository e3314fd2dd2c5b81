#pragma once

#include <QObject>

#include <memory>

class QThread;
class QTimer;

// Polls the system five times a second for the monitor's serial ports and
// reports the count and numbers whenever they change. Lives on a thread of its
// own; the scans run there.
class ComDeviceScanThread : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxPorts = 20;
    static constexpr int kScanIntervalMs = 200;

    // Starts scanning at once; the first scan runs one interval later. The
    // object moves itself to its thread, so it takes no parent.
    ComDeviceScanThread();
    ~ComDeviceScanThread() override;

signals:
    // port is a new unsigned short[20] of which the first num entries are
    // valid. Ownership passes to the receiver, which frees it with delete[];
    // the scanner never touches it after the emit.
    void DeviceNumChanged(int num, unsigned short *port);

public slots:
    void ScanSerialPort();

private:
    bool SameAsReported(int num, const unsigned short *ports) const;

    int m_reportedCount = 0;
    unsigned short m_reportedPorts[kMaxPorts] = {};
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<QTimer> m_scanTimer;
};

#pragma once

#include "MonitorEngine.h"

#include <QString>

#include <atomic>
#include <thread>

// Puts a MonitorEngine on a line: the master side of a new pseudo-terminal
// (the program opens its slave path) or a real serial device.
class MonitorLink
{
public:
    struct Pacing
    {
        int byteDelayUs = 1000;  // pause after each byte in byte-by-byte delivery
        bool lineRate = false;   // pace every write to 115200 baud, 8N1
        int hangUpDelayMs = 200; // the line stays up this long after the last bytes
    };

    explicit MonitorLink(MonitorEngine &engine);
    MonitorLink(MonitorEngine &engine, Pacing pacing);
    ~MonitorLink();
    MonitorLink(const MonitorLink &) = delete;
    MonitorLink &operator=(const MonitorLink &) = delete;

    bool OpenPseudoTerminal(QString *error);
    bool OpenDevice(const QString &path, QString *error);
    QString PortPath() const { return m_portPath; }

    // Serves on the calling thread until stop is set, Stop() is called or
    // the engine hangs up.
    void Run(const std::atomic<bool> *stop = nullptr);
    // Serves on a thread of its own.
    void Start();
    // Ends serving (the line stays open until HangUp() or destruction).
    void Stop();
    // Closes the line; a pseudo-terminal's slave path disappears with it.
    void HangUp();

    bool HasHungUp() const { return m_hungUp.load(); }
    // Requests answered so far (safe from any thread).
    int RequestCount() const { return m_requestCount.load(); }
    // Answer bytes written to the line so far (safe from any thread).
    long long BytesWritten() const { return m_bytesWritten.load(); }

private:
    bool ServeOnce();
    bool WriteAll(const QByteArray &bytes);
    void PaceAfter(int bytes, bool singleByte);
    void CloseLine();

    MonitorEngine &m_engine;
    Pacing m_pacing;
    int m_fd = -1;
    int m_slaveFd = -1; // held open so the master never sees a hang-up
    QString m_portPath;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hungUp{false};
    std::atomic<int> m_requestCount{0};
    std::atomic<long long> m_bytesWritten{0};
};

#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <climits>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

// A raw pseudo-terminal: the program opens the slave as a monitor's port, the test
// plays the monitor on the master side. Every wait ends after a generous limit.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        termios raw = {};
        ::cfmakeraw(&raw);
        char name[PATH_MAX] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) {
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
            m_slavePath = QString::fromLocal8Bit(name);
        }
    }
    ~PseudoTerminal()
    {
        Unplug();
        ::close(m_slave); // -1 (nothing) when openpty failed
    }
    Q_DISABLE_COPY(PseudoTerminal)

    // Empty when no pseudo-terminal could be opened.
    QString SlavePath() const { return m_slavePath; }
    int Slave() const { return m_slave; }

    // Writes to the master side; the tests' answers fit the line's buffer.
    bool Write(const QByteArray &bytes)
    {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until count bytes have come (0: what is there), running the event loop.
    QByteArray ReadExactly(int count)
    {
        const QDeadlineTimer deadline(kPatienceMs);
        QByteArray received;
        do {
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            received.append(buffer, std::max<ssize_t>(n, 0));
            QCoreApplication::processEvents();
            if (n <= 0 && received.size() < count)
                QThread::msleep(1);
        } while (received.size() < count && !deadline.hasExpired());
        return received;
    }

    // Ends the monitor's side, as pulling the cable does.
    void Unplug() { ::close(std::exchange(m_master, -1)); }

private:
    static constexpr int kPatienceMs = 20000;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

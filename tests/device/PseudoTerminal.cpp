#include "PseudoTerminal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kPatienceMs = 20000;

} // namespace

PseudoTerminal::PseudoTerminal()
{
    termios raw = {};
    ::cfmakeraw(&raw);
    char name[PATH_MAX] = {};
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PseudoTerminal::Write(const QByteArray &bytes)
{
    const QDeadlineTimer deadline(kPatienceMs);
    qsizetype done = 0;
    while (done < bytes.size() && !deadline.hasExpired()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else
            QThread::msleep(1);
    }
    return done == bytes.size();
}

QByteArray PseudoTerminal::ReadExactly(int count)
{
    const QDeadlineTimer deadline(kPatienceMs);
    QByteArray received;
    while (received.size() < count && !deadline.hasExpired()) {
        const QByteArray chunk = ReadAvailable();
        received += chunk;
        QCoreApplication::processEvents();
        if (chunk.isEmpty())
            QThread::msleep(1);
    }
    return received;
}

void PseudoTerminal::Unplug()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

QByteArray PseudoTerminal::ReadAvailable()
{
    QByteArray received;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        received.append(buffer, n);
    }
    return received;
}

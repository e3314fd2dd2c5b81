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

QString PseudoTerminal::LineSettings() const
{
    termios line = {};
    if (m_slave < 0 || ::tcgetattr(m_slave, &line) != 0)
        return QString();
    const speed_t speed = ::cfgetospeed(&line);
    const int baud = speed == B115200 ? 115200 : speed == B9600 ? 9600 : -1;
    const int bits = (line.c_cflag & CSIZE) == CS8 ? 8 : (line.c_cflag & CSIZE) == CS7 ? 7 : 0;
    const char parity = !(line.c_cflag & PARENB) ? 'N' : (line.c_cflag & PARODD) ? 'O' : 'E';
    const int stops = (line.c_cflag & CSTOPB) ? 2 : 1;
    return QStringLiteral("%1 %2%3%4").arg(baud).arg(bits).arg(QChar(parity)).arg(stops);
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

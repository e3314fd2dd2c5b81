#include "MonitorLink.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int POLL_INTERVAL_MS = 20;
constexpr int READ_CHUNK = 4096;
constexpr double LINE_BYTES_PER_SECOND = 11520.0; // 115200 baud, 10 bits a byte

QString SystemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

void MakeRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(fd, TCSANOW, &tio);
}

} // namespace

MonitorLink::MonitorLink(MonitorEngine &engine) : MonitorLink(engine, Pacing()) {}

MonitorLink::MonitorLink(MonitorEngine &engine, Pacing pacing) : m_engine(engine), m_pacing(pacing)
{
}

MonitorLink::~MonitorLink()
{
    Stop();
    CloseLine();
}

bool MonitorLink::OpenPseudoTerminal(QString *error)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = SystemError("openpty");
        return false;
    }
    MakeRaw(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_fd = master;
    m_slaveFd = slave;
    m_portPath = QString::fromLocal8Bit(name);
    return true;
}

bool MonitorLink::OpenDevice(const QString &path, QString *error)
{
    const int fd =
        ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = SystemError("open");
        return false;
    }
    MakeRaw(fd);
    m_fd = fd;
    m_portPath = path;
    return true;
}

void MonitorLink::Run(const std::atomic<bool> *stop)
{
    while (!m_stop.load() && !(stop && stop->load()) && !m_hungUp.load()) {
        if (!ServeOnce())
            break;
    }
}

void MonitorLink::Start()
{
    if (m_thread.joinable())
        return;
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
}

void MonitorLink::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void MonitorLink::HangUp()
{
    Stop();
    CloseLine();
}

void MonitorLink::CloseLine()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    m_fd = -1;
    m_slaveFd = -1;
    if (!m_portPath.isEmpty())
        m_hungUp = true;
}

// Waits a little for request bytes and answers them; false when the line is gone.
bool MonitorLink::ServeOnce()
{
    if (m_fd < 0)
        return false;
    pollfd pfd{m_fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, POLL_INTERVAL_MS);
    if (ready < 0)
        return errno == EINTR;
    if (ready == 0)
        return true;
    char buffer[READ_CHUNK];
    const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
    if (got < 0)
        return errno == EAGAIN || errno == EINTR;
    if (got == 0)
        return false;
    m_engine.Receive(QByteArray(buffer, static_cast<qsizetype>(got)));
    m_requestCount = m_engine.RequestCount();
    for (const QByteArray &bytes : m_engine.TakeWrites()) {
        if (!WriteAll(bytes))
            return false;
        PaceAfter(static_cast<int>(bytes.size()), bytes.size() == 1);
    }
    if (m_engine.HangUpRequested()) {
        // Give the reader time to take the half answer, as a cable pulled
        // in the middle of a transfer would.
        usleep(static_cast<useconds_t>(m_pacing.hangUpDelayMs) * 1000);
        CloseLine();
        return false;
    }
    return true;
}

bool MonitorLink::WriteAll(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            m_bytesWritten += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The reader is behind: wait until the line takes bytes again.
        pollfd pfd{m_fd, POLLOUT, 0};
        poll(&pfd, 1, POLL_INTERVAL_MS);
        if (m_stop.load())
            return false;
    }
    return true;
}

void MonitorLink::PaceAfter(int bytes, bool singleByte)
{
    if (singleByte && m_pacing.byteDelayUs > 0)
        usleep(static_cast<useconds_t>(m_pacing.byteDelayUs));
    if (m_pacing.lineRate) {
        const auto seconds = std::chrono::duration<double>(bytes / LINE_BYTES_PER_SECOND);
        usleep(static_cast<useconds_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(seconds).count()));
    }
}

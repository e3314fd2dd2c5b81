#include "MLog.h"

#include "MSettings.h"

#include <QDateTime>
#include <QDir>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::atomic<bool> g_outLog{false};
std::FILE *g_file = nullptr;
// Several threads log at once; one lock per whole line keeps lines apart.
std::mutex g_mutex;

constexpr std::size_t kLocationSize = 256;

void FormatLocation(char (&buffer)[kLocationSize], const char *sourceFile, int line)
{
    const QByteArray source = MLog::SourceName(sourceFile);
    std::snprintf(buffer, kLocationSize, "File: %s, Line:%05d", source.constData(), line);
}

void WriteLineLocked(const char *location, const char *message)
{
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("[yyyy-MM-dd hh:mm:ss] ")).toUtf8();
    std::fputs(stamp.constData(), g_file);
    std::fputs(location, g_file);
    std::fputs("    ", g_file);
    std::fputs(message, g_file);
    std::fputs("\n", g_file);
    std::fflush(g_file);
}

void WriteOwnLine(int line, const char *message)
{
    char location[kLocationSize] = {};
    FormatLocation(location, __FILE__, line);
    WriteLineLocked(location, message);
}

} // namespace

void MLog::SetOutLog(bool on)
{
    g_outLog = on;
}

bool MLog::IsOutLog()
{
    return g_outLog;
}

QString MLog::GetFilePath()
{
    return QDir(MSettings::GetConfigDirectory()).filePath(QStringLiteral("OutLog.txt"));
}

bool MLog::Start()
{
    if (!g_outLog)
        return true;
    Stop();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_file = std::fopen(GetFilePath().toUtf8().constData(), "w");
    if (!g_file)
        return false;
    WriteOwnLine(__LINE__, "Log module startup normally!");
    return true;
}

void MLog::Stop()
{
    if (!g_outLog)
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_file)
        return;
    WriteOwnLine(__LINE__, "Log module stopped!");
    std::fclose(g_file);
    g_file = nullptr;
}

void MLog::Write(const char *location, const char *message)
{
    if (!g_outLog)
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_file)
        WriteLineLocked(location, message);
}

void MLog::WriteAt(const char *sourceFile, int line, const char *message)
{
    if (!g_outLog)
        return;
    char location[kLocationSize] = {};
    FormatLocation(location, sourceFile, line);
    Write(location, message ? message : "");
}

void MLog::WriteAt(const char *sourceFile, int line, const QString &message)
{
    WriteAt(sourceFile, line, message.toUtf8());
}

void MLog::WriteAt(const char *sourceFile, int line, const QByteArray &message)
{
    WriteAt(sourceFile, line, message.constData());
}

QByteArray MLog::SourceName(const char *sourceFile)
{
    const QByteArray path = QByteArray(sourceFile).replace('\\', '/');
    const QList<QByteArray> parts = path.split('/');
    if (parts.size() < 2 || parts.at(parts.size() - 2) == "src")
        return parts.last();
    return parts.at(parts.size() - 2) + '\\' + parts.last();
}

#pragma once

#include <QByteArray>
#include <QString>

// The program's plain-text trace, "OutLog.txt" beside the settings file. Lines
// are "[yyyy-MM-dd hh:mm:ss] " + "File: <folder>\<file>, Line:<5 digits>" +
// four blanks + message. Switched once at start-up by the settings' "OUTLOG";
// while it is off nothing is formatted, created or touched.
class MLog
{
public:
    static bool Start();
    static void Stop();
    static void Write(const char *location, const char *message);

    static void SetOutLog(bool on);
    static bool IsOutLog();

    static QString GetFilePath();

    // Used by MLOG: formats the caller's location and writes the line.
    static void WriteAt(const char *sourceFile, int line, const char *message);
    static void WriteAt(const char *sourceFile, int line, const QString &message);
    static void WriteAt(const char *sourceFile, int line, const QByteArray &message);

    // "Folder\File.cpp" from a build path, the way the log names its callers.
    static QByteArray SourceName(const char *sourceFile);
};

// Logs a message (const char *, QString or QByteArray) with the caller's
// source file and line. Costs one test of the switch while the log is off.
#define MLOG(message)                                                                              \
    do {                                                                                           \
        if (MLog::IsOutLog())                                                                      \
            MLog::WriteAt(__FILE__, __LINE__, (message));                                          \
    } while (false)

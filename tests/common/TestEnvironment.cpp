#include "TestEnvironment.h"

#include "MLog.h"
#include "MSettings.h"

#include <QDir>
#include <QFile>

TestEnvironment::TestEnvironment(bool outLog, const QString &databaseSetting)
{
    MSettings::GetInstance()->ResetToConstructionValues();
    Load(ConfigDirectory(),
         QStringLiteral("DATABASE_FILE_PATH = %1\nOUTLOG = %2\n"
                        "EXPORT_FILE_PATH = %3\nPATIENT_KEY_PATIENT_NAME = 1\n")
             .arg(databaseSetting.isEmpty() ? DatabaseDirectory() : databaseSetting,
                  outLog ? "1" : "0", ExportDirectory()));
    MLog::SetOutLog(outLog);
    MLog::Start();
}

TestEnvironment::~TestEnvironment()
{
    MLog::Stop();
    MLog::SetOutLog(false);
    MSettings::GetInstance()->ResetToConstructionValues();
    MSettings::SetConfigDirectory(QString());
}

QString TestEnvironment::LogText() const
{
    QFile file(MLog::GetFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void TestEnvironment::UseDatabaseSetting(const QString &setting) const
{
    // Loading applies a file over the values held: a one-line file elsewhere changes that value.
    Load(m_dir.filePath(QStringLiteral("other-config")),
         QStringLiteral("DATABASE_FILE_PATH = %1\n")
             .arg(setting.isEmpty() ? DatabaseDirectory() : setting));
    MSettings::SetConfigDirectory(ConfigDirectory());
}

void TestEnvironment::Load(const QString &directory, const QString &lines)
{
    QDir().mkpath(directory);
    MSettings::SetConfigDirectory(directory);
    if (QFile file(MSettings::GetFilePath()); file.open(QIODevice::WriteOnly))
        file.write(lines.toUtf8());
    MSettings::GetInstance()->LoadSettings();
}

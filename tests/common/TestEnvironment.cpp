#include "TestEnvironment.h"

#include "MLog.h"
#include "MSettings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

TestEnvironment::TestEnvironment(bool outLog, const QString &databaseSetting)
{
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    MSettings::SetConfigDirectory(ConfigDirectory());
    MSettings *settings = MSettings::GetInstance();
    settings->ResetToConstructionValues();
    QFile file(MSettings::GetFilePath());
    if (file.open(QIODevice::WriteOnly)) {
        const QString text =
            QStringLiteral("DATABASE_FILE_PATH = %1\n"
                           "OUTLOG = %2\n"
                           "EXPORT_FILE_PATH = %3\n"
                           "PATIENT_KEY_PATIENT_NAME = 1\n")
                .arg(databaseSetting.isEmpty() ? DatabaseDirectory() : databaseSetting,
                     outLog ? "1" : "0", ExportDirectory());
        file.write(text.toUtf8());
        file.close();
    }
    settings->LoadSettings();
    MLog::SetOutLog(settings->IsOutLog());
    MLog::Start();
}

TestEnvironment::~TestEnvironment()
{
    MLog::Stop();
    MLog::SetOutLog(false);
    MSettings::GetInstance()->ResetToConstructionValues();
    MSettings::SetConfigDirectory(QString());
}

QString TestEnvironment::ConfigDirectory() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("config"));
}

QString TestEnvironment::DatabaseDirectory() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("db"));
}

QString TestEnvironment::ExportDirectory() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("export"));
}

QString TestEnvironment::LogText() const
{
    QFile file(MLog::GetFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void TestEnvironment::FailOnWarnings()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestEnvironment::UseDatabaseSetting(const QString &setting) const
{
    // Loading applies the lines of a file over the values held: a file of
    // one line elsewhere changes that one value.
    const QString other = QDir(m_dir.path()).filePath(QStringLiteral("other-config"));
    QDir().mkpath(other);
    MSettings::SetConfigDirectory(other);
    QFile file(MSettings::GetFilePath());
    if (file.open(QIODevice::WriteOnly))
        file.write(QStringLiteral("DATABASE_FILE_PATH = %1\n")
                       .arg(setting.isEmpty() ? DatabaseDirectory() : setting)
                       .toUtf8());
    file.close();
    MSettings::GetInstance()->LoadSettings();
    MSettings::SetConfigDirectory(ConfigDirectory());
}

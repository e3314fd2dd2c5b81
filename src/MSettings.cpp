#include "MSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace {

const char *const kFileName = "Setttings.conf";
const char *const kSeparator = " = ";

QString &ConfigDirectoryOverride()
{
    static QString directory;
    return directory;
}

// An installed program's folder belongs to the system, even where it is
// writable (for root): the settings and the log never go there.
bool IsSystemDirectory(const QString &directory)
{
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    const QString path = QDir::cleanPath(canonical.isEmpty() ? directory : canonical);
    for (const char *root : {"/usr", "/bin", "/sbin", "/opt"}) {
        const QString rootPath = QLatin1String(root);
        if (path == rootPath || path.startsWith(rootPath + QLatin1Char('/')))
            return true;
    }
    return false;
}

QString BoolText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

MSettings *MSettings::GetInstance()
{
    static MSettings *instance = nullptr;
    if (!instance)
        instance = new MSettings;
    return instance;
}

QString MSettings::GetConfigDirectory()
{
    if (!ConfigDirectoryOverride().isEmpty())
        return ConfigDirectoryOverride();
    return ConfigDirectoryFor(QCoreApplication::applicationDirPath());
}

QString MSettings::ConfigDirectoryFor(const QString &programDirectory)
{
    if (QFileInfo(programDirectory).isWritable() && !IsSystemDirectory(programDirectory))
        return programDirectory;
    const QString userDirectory =
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(userDirectory);
    return userDirectory;
}

void MSettings::SetConfigDirectory(const QString &directory)
{
    ConfigDirectoryOverride() = directory;
}

QString MSettings::GetFilePath()
{
    return QDir(GetConfigDirectory()).filePath(QString::fromLatin1(kFileName));
}

void MSettings::ResetToConstructionValues()
{
    *this = MSettings();
}

QString MSettings::DefaultDatabaseFilePath()
{
    return QDir::home().filePath(QStringLiteral("VantrelMonitorSoftware/Database"));
}

QString MSettings::DefaultExportFilePath()
{
    return QDir::home().filePath(QStringLiteral("VantrelMonitorSoftware/Export Files"));
}

QString MSettings::GetDatabaseFilePath() const
{
    // The file keeps the empty value as written; only its reading changes.
    return m_strDatabaseFilePath.isEmpty() ? DefaultDatabaseFilePath() : m_strDatabaseFilePath;
}

void MSettings::SetDefaults()
{
    m_bOutLog = true;
    m_strDatabaseFilePath = DefaultDatabaseFilePath();
    m_strExportFilePath = DefaultExportFilePath();
    m_bPatientKeyDeviceSN = false;
    m_bPatientKeyPatientID = false;
    m_bPatientKeyPatientName = true;
    m_bPatientKeyIdentifyCode = false;
    m_bPatientKeySocietyCode = false;
}

bool MSettings::LoadSettings()
{
    const QString path = GetFilePath();
    if (!QFileInfo::exists(path)) {
        SetDefaults();
        SaveSettings();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    QString line;
    while (stream.readLineInto(&line))
        ApplyLine(line);
    return true;
}

bool MSettings::ReadFlag(const QString &value)
{
    return value.toInt(nullptr, 10) != 0;
}

void MSettings::ApplyLine(const QString &line)
{
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
        return;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return;
    // The separator is " = ": drop one character on each side of the "=".
    const QString key = line.left(equals).chopped(equals > 0 ? 1 : 0);
    // A line ending in "=" (its trailing blank trimmed by an editor) has an empty value.
    const QString value = equals == line.size() - 1 ? QString() : line.mid(equals + 2);
    if (key.isEmpty())
        return;
    if (key == QLatin1String("OUTLOG"))
        m_bOutLog = ReadFlag(value);
    else if (key == QLatin1String("DATABASE_FILE_PATH"))
        m_strDatabaseFilePath = value;
    else if (key == QLatin1String("EXPORT_FILE_PATH"))
        m_strExportFilePath = value;
    else if (key == QLatin1String("PATIENT_KEY_DEVICE_SN"))
        m_bPatientKeyDeviceSN = ReadFlag(value);
    else if (key == QLatin1String("PATIENT_KEY_PATIENT_ID"))
        m_bPatientKeyPatientID = ReadFlag(value);
    else if (key == QLatin1String("PATIENT_KEY_PATIENT_NAME"))
        m_bPatientKeyPatientName = ReadFlag(value);
    else if (key == QLatin1String("PATIENT_KEY_IDENTIFY_CODE"))
        m_bPatientKeyIdentifyCode = ReadFlag(value);
    else if (key == QLatin1String("PATIENT_KEY_SOCIETY_CODE"))
        m_bPatientKeySocietyCode = ReadFlag(value);
}

bool MSettings::SaveSettings()
{
    // The new file replaces the old one only once it is written completely, so
    // a failed save never loses the settings already on disk.
    QSaveFile file(GetFilePath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream stream(&file);
    const auto entry = [&stream](const char *key, const QString &value) {
        stream << key << kSeparator << value << '\n';
    };
    stream << "# begin database settings\n";
    entry("DATABASE_FILE_PATH", m_strDatabaseFilePath);
    stream << "# end database settings\n\n";
    stream << "# begin Log settings\n";
    entry("OUTLOG", BoolText(m_bOutLog));
    stream << "# end Log settings\n\n";
    stream << "# begin export file settings\n";
    entry("EXPORT_FILE_PATH", m_strExportFilePath);
    stream << "# end export file settings\n\n";
    stream << "# begin patient key settings\n";
    entry("PATIENT_KEY_DEVICE_SN", BoolText(m_bPatientKeyDeviceSN));
    entry("PATIENT_KEY_PATIENT_ID", BoolText(m_bPatientKeyPatientID));
    entry("PATIENT_KEY_PATIENT_NAME", BoolText(m_bPatientKeyPatientName));
    entry("PATIENT_KEY_IDENTIFY_CODE", BoolText(m_bPatientKeyIdentifyCode));
    entry("PATIENT_KEY_SOCIETY_CODE", BoolText(m_bPatientKeySocietyCode));
    stream << "# end patient key settings\n\n";
    stream.flush();
    if (stream.status() != QTextStream::Ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

uint MSettings::GetMergeKeyBits() const
{
    uint bits = 0;
    if (m_bPatientKeyDeviceSN)
        bits |= 0x0001;
    if (m_bPatientKeyPatientID)
        bits |= 0x0002;
    if (m_bPatientKeyPatientName)
        bits |= 0x0004;
    if (m_bPatientKeyIdentifyCode)
        bits |= 0x0200;
    if (m_bPatientKeySocietyCode)
        bits |= 0x0400;
    return bits;
}

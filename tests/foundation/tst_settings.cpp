#include "FileSizeLimit.h"
#include "MSettings.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

namespace {

QByteArray ReadFile()
{
    QFile file(MSettings::GetFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file as the program writes it; keys: the five patient key flags in order.
QByteArray Written(const QString &database, const QString &exports, const char *keys)
{
    const char *names[] = {"DEVICE_SN", "PATIENT_ID", "PATIENT_NAME", "IDENTIFY_CODE",
                           "SOCIETY_CODE"};
    QByteArray text = "# begin database settings\nDATABASE_FILE_PATH = " + database.toUtf8() +
                      "\n# end database settings\n\n# begin Log settings\nOUTLOG = 1\n# end Log "
                      "settings\n\n# begin export file settings\nEXPORT_FILE_PATH = " +
                      exports.toUtf8() +
                      "\n# end export file settings\n\n# begin patient key settings\n";
    for (int i = 0; i < 5; ++i)
        text += QByteArray("PATIENT_KEY_") + names[i] + " = " + keys[i] + '\n';
    return text + "# end patient key settings\n\n";
}

// What was loaded: log flag|export path|database path|merge key bits.
QString Loaded()
{
    const MSettings *s = MSettings::GetInstance();
    return QStringList{QString::number(s->IsOutLog()), s->GetExportFilePath(),
                       s->GetDatabaseFilePath(), QString::number(s->GetMergeKeyBits(), 16)}
        .join('|');
}

const QString kHome = QDir::homePath() + QStringLiteral("/VantrelMonitorSoftware/");

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    MSettings *settings = MSettings::GetInstance();

private Q_SLOTS:
    void init()
    {
        TestEnvironment::FailOnWarnings();
        m_dir = std::make_unique<QTemporaryDir>();
        MSettings::SetConfigDirectory(m_dir->path());
        settings->ResetToConstructionValues();
    }

    // OUTLOG 7 is not 0; blanks after a value stay, a blank before a key or none around
    // "=" spoil the line; a comment, a lower-case key, a duplicate ending in 0 and a
    // non-number set no key; the last database path wins; a final "=" gives an empty
    // value; an empty database path is the default folder; the file stays as written.
    void loadingFollowsTheLineRules()
    {
        const QString uri = QStringLiteral("postgresql://clinic@/vantrel?host=/run/postgresql");
        const std::pair<QByteArray, QString> cases[] = {
            {"OUTLOG = 7\nEXPORT_FILE_PATH = /data/exports  \n DATABASE_FILE_PATH = /ignored\n"
             "# PATIENT_KEY_DEVICE_SN = 1\npatient_key_patient_id = 1\nPATIENT_KEY_SOCIETY_CODE=1\n"
             "no separator here\n = 1\nPATIENT_KEY_IDENTIFY_CODE = 1\n"
             "PATIENT_KEY_IDENTIFY_CODE = 0\nPATIENT_KEY_PATIENT_NAME = yes\n"
             "DATABASE_FILE_PATH = /db\nDATABASE_FILE_PATH = /db/second\n",
             "1|/data/exports  |/db/second|0"},
            {"OUTLOG =\nEXPORT_FILE_PATH =\nDATABASE_FILE_PATH =\n", "0||" + kHome + "Database|4"},
            {Written(uri, QString(), "00110"), "1||" + uri + "|204"}};
        for (const auto &[text, loaded] : cases) {
            QFile file(MSettings::GetFilePath());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
            file.close();
            settings->SetExportFilePath(QStringLiteral("/before"));
            settings->SetPatientKeyPatientName(true);
            QVERIFY(settings->LoadSettings());
            QCOMPARE(Loaded(), loaded);
            QCOMPARE(ReadFile(), text);
        }
        // Saving writes the last file back, byte for byte.
        QVERIFY(QFile::remove(MSettings::GetFilePath()) && settings->SaveSettings());
        QCOMPARE(ReadFile(), cases[2].first);
    }

    // The first start writes the defaults, which a failed save keeps.
    void failedSaveOrLoadKeepsWhatWasThere()
    {
        QVERIFY(settings->LoadSettings());
        const QByteArray defaults = Written(kHome + "Database", kHome + "Export Files", "00100");
        QCOMPARE(ReadFile(), defaults);
        settings->SetExportFilePath(QStringLiteral("/somewhere/else"));
        {
            FileSizeLimit limit(64); // the write fails part-way
            QVERIFY(limit.IsSet() && !settings->SaveSettings());
        }
        QCOMPARE(ReadFile(), defaults);
        // An unreadable file is reported.
        QVERIFY(QFile::remove(MSettings::GetFilePath()) &&
                QDir(m_dir->path()).mkdir(QStringLiteral("Setttings.conf")));
        QVERIFY(!settings->LoadSettings());
    }

    void systemFoldersHoldNoSettings()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QString user = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        const QString own = m_dir->path() + QStringLiteral("/usr");
        QVERIFY(QDir().mkpath(own));
        // Root may write to the system folders; they are refused all the same.
        const QString cases[][2] = {
            {own, own},      {"/usr/bin", user}, {"/usr/local/bin", user}, {"/bin", user},
            {"/sbin", user}, {"/opt", user},     {own + "/gone", user}};
        for (const auto &c : cases)
            QCOMPARE(MSettings::ConfigDirectoryFor(c[0]), c[1]);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"

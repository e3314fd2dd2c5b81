#include "FileSizeLimit.h"
#include "MSettings.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

void WriteFile(const QByteArray &text)
{
    QFile file(MSettings::GetFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

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

const QString kHome = QDir::homePath() + QStringLiteral("/VantrelMonitorSoftware/");

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;

private Q_SLOTS:
    void init()
    {
        TestEnvironment::FailOnWarnings();
        m_dir = new QTemporaryDir;
        MSettings::SetConfigDirectory(m_dir->path());
        MSettings::GetInstance()->ResetToConstructionValues();
    }

    void cleanup()
    {
        MSettings::SetConfigDirectory(QString());
        MSettings::GetInstance()->ResetToConstructionValues();
        delete m_dir;
    }

    void firstStartWritesTheDefaults()
    {
        QVERIFY(MSettings::GetInstance()->LoadSettings());
        QCOMPARE(ReadFile(), Written(kHome + "Database", kHome + "Export Files", "00100"));
    }

    void parsingFollowsTheLineRules()
    {
        WriteFile("OUTLOG = 7\n"
                  "EXPORT_FILE_PATH = /data/exports  \n"
                  " DATABASE_FILE_PATH = /ignored\n"
                  "# PATIENT_KEY_DEVICE_SN = 1\n"
                  "patient_key_patient_id = 1\n"
                  "PATIENT_KEY_SOCIETY_CODE=1\n"
                  "no separator here\n"
                  " = 1\n"
                  "PATIENT_KEY_IDENTIFY_CODE = 1\n"
                  "PATIENT_KEY_IDENTIFY_CODE = 0\n"
                  "PATIENT_KEY_PATIENT_NAME = yes\n"
                  "DATABASE_FILE_PATH = /db\n"
                  "DATABASE_FILE_PATH = /db/second\n");
        MSettings *settings = MSettings::GetInstance();
        settings->SetPatientKeyPatientName(true);
        QVERIFY(settings->LoadSettings());
        QVERIFY(settings->IsOutLog());                                       // 7 is not 0
        QCOMPARE(settings->GetExportFilePath(), QString("/data/exports  ")); // blanks stay
        QCOMPARE(settings->GetDatabaseFilePath(), QString("/db/second"));    // last one wins
        QVERIFY(!settings->IsPatientKeyDeviceSN());                          // comment
        QVERIFY(!settings->IsPatientKeyPatientID());                         // lower case key
        QVERIFY(!settings->IsPatientKeySocietyCode());                       // no blanks: key cut
        QVERIFY(!settings->IsPatientKeyIdentifyCode());                      // duplicate, last is 0
        QVERIFY(!settings->IsPatientKeyPatientName());                       // no number reads as 0
    }

    void valueEdgeCases()
    {
        // "=" as the last character: the value is empty; an empty database
        // path reads as the default folder, and the file stays as written.
        const QByteArray text = "OUTLOG =\nEXPORT_FILE_PATH =\nDATABASE_FILE_PATH =\n";
        WriteFile(text);
        MSettings *settings = MSettings::GetInstance();
        settings->SetExportFilePath(QStringLiteral("/before"));
        QVERIFY(settings->LoadSettings());
        QVERIFY(!settings->IsOutLog());
        QCOMPARE(settings->GetExportFilePath(), QString());
        QCOMPARE(settings->GetDatabaseFilePath(), kHome + "Database");
        QCOMPARE(ReadFile(), text);
    }

    void savedValuesRoundTrip()
    {
        const QString uri = QStringLiteral("postgresql://clinic@/vantrel?host=/run/postgresql");
        WriteFile("DATABASE_FILE_PATH = " + uri.toUtf8() + "\nOUTLOG = 1\n");
        MSettings *settings = MSettings::GetInstance();
        QVERIFY(settings->LoadSettings());
        settings->SetExportFilePath(QString());
        settings->SetPatientKeyIdentifyCode(true);
        settings->SetPatientKeyPatientName(true);
        QVERIFY(settings->SaveSettings());
        QCOMPARE(ReadFile(), Written(uri, QString(), "00110"));
        settings->ResetToConstructionValues();
        QVERIFY(settings->LoadSettings());
        QCOMPARE(settings->GetDatabaseFilePath(), uri);
        QCOMPARE(settings->GetExportFilePath(), QString());
        QCOMPARE(settings->GetMergeKeyBits(), 0x0204u);
    }

    void failedSaveKeepsTheOldFile()
    {
        MSettings *settings = MSettings::GetInstance();
        QVERIFY(settings->LoadSettings());
        const QByteArray before = ReadFile();
        settings->SetExportFilePath(QStringLiteral("/somewhere/else"));
        bool saved = true;
        {
            FileSizeLimit limit(64); // the write fails part-way
            QVERIFY(limit.IsSet());
            saved = settings->SaveSettings();
        }
        QVERIFY(!saved);
        QCOMPARE(ReadFile(), before);
    }

    void unreadableFileKeepsConstructionValues()
    {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Setttings.conf")));
        MSettings *settings = MSettings::GetInstance();
        QVERIFY(!settings->LoadSettings());
        QVERIFY(!settings->IsOutLog());
        QCOMPARE(settings->GetExportFilePath(), QString());
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

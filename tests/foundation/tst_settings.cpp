#include "FileSizeLimit.h"
#include "MSettings.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class SettingsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;

    static void WriteFile(const QByteArray &text)
    {
        QFile file(MSettings::GetFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    static QByteArray ReadFile()
    {
        QFile file(MSettings::GetFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

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
        MSettings *settings = MSettings::GetInstance();
        QVERIFY(settings->LoadSettings());
        const QString home = QDir::homePath();
        const QByteArray expected = "# begin database settings\n"
                                    "DATABASE_FILE_PATH = " +
                                    home.toUtf8() +
                                    "/VantrelMonitorSoftware/Database\n"
                                    "# end database settings\n"
                                    "\n"
                                    "# begin Log settings\n"
                                    "OUTLOG = 1\n"
                                    "# end Log settings\n"
                                    "\n"
                                    "# begin export file settings\n"
                                    "EXPORT_FILE_PATH = " +
                                    home.toUtf8() +
                                    "/VantrelMonitorSoftware/Export Files\n"
                                    "# end export file settings\n"
                                    "\n"
                                    "# begin patient key settings\n"
                                    "PATIENT_KEY_DEVICE_SN = 0\n"
                                    "PATIENT_KEY_PATIENT_ID = 0\n"
                                    "PATIENT_KEY_PATIENT_NAME = 1\n"
                                    "PATIENT_KEY_IDENTIFY_CODE = 0\n"
                                    "PATIENT_KEY_SOCIETY_CODE = 0\n"
                                    "# end patient key settings\n"
                                    "\n";
        QCOMPARE(ReadFile(), expected);
        QCOMPARE(ReadFile().count('\n'), 20);
        QVERIFY(settings->IsOutLog());
        QVERIFY(settings->IsPatientKeyPatientName());
        QVERIFY(!settings->IsPatientKeyDeviceSN());
        QCOMPARE(settings->GetMergeKeyBits(), 0x0004u);
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
        QCOMPARE(settings->GetDatabaseFilePath(),
                 QDir::homePath() + QStringLiteral("/VantrelMonitorSoftware/Database"));
        QCOMPARE(ReadFile(), text);
    }

    void emptyExportDirectoryRoundTrips()
    {
        MSettings *settings = MSettings::GetInstance();
        QVERIFY(settings->LoadSettings());
        settings->SetExportFilePath(QString());
        settings->SetPatientKeyIdentifyCode(true);
        QVERIFY(settings->SaveSettings());
        QVERIFY(ReadFile().contains("\nEXPORT_FILE_PATH = \n"));
        settings->ResetToConstructionValues();
        QVERIFY(settings->LoadSettings());
        QCOMPARE(settings->GetExportFilePath(), QString());
        QVERIFY(settings->IsOutLog()); // written back unchanged
        QCOMPARE(settings->GetMergeKeyBits(), 0x0204u);
    }

    void serverUriRoundTrips()
    {
        const QString uri = QStringLiteral("postgresql://clinic@/vantrel?host=/run/postgresql");
        WriteFile("DATABASE_FILE_PATH = " + uri.toUtf8() + "\n");
        MSettings *settings = MSettings::GetInstance();
        QVERIFY(settings->LoadSettings());
        QCOMPARE(settings->GetDatabaseFilePath(), uri);
        QVERIFY(settings->SaveSettings());
        QVERIFY(ReadFile().contains("\nDATABASE_FILE_PATH = " + uri.toUtf8() + "\n"));
        QCOMPARE(ReadFile().count('\n'), 20);
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

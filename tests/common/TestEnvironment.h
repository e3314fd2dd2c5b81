#pragma once

#include <QString>
#include <QTemporaryDir>

// A private world for one test: a temporary folder holding the settings file,
// the log, the database directory and the export directory. Construction
// writes a settings file pointing there, loads it and starts the log;
// destruction stops the log and puts the settings object back. A database
// setting, where given, takes the database directory's place in the file.
class TestEnvironment
{
public:
    explicit TestEnvironment(bool outLog = true, const QString &databaseSetting = QString());
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    QString Root() const { return m_dir.path(); }
    QString ConfigDirectory() const { return m_dir.filePath(QStringLiteral("config")); }
    QString DatabaseDirectory() const { return m_dir.filePath(QStringLiteral("db")); }
    QString ExportDirectory() const { return m_dir.filePath(QStringLiteral("export")); }
    QString LogText() const;
    // Changes the loaded database setting (empty: the database directory
    // again) and nothing else; the settings file stays as it is.
    void UseDatabaseSetting(const QString &setting) const;

    // Makes every Qt warning fail the running test; call from a test's init().
    static void FailOnWarnings();

private:
    // Writes a settings file of these lines into the folder and loads it over
    // the values held.
    static void Load(const QString &directory, const QString &lines);

    QTemporaryDir m_dir;
};

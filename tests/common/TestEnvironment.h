#pragma once

#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// A private world for one test: a temporary folder holding the settings file, the log, the
// database and export directories. Construction writes a settings file pointing there, loads it and
// starts the log; destruction stops the log and puts the settings object back. A database setting,
// where given, takes the database directory's place in the file.
class TestEnvironment
{
public:
    explicit TestEnvironment(bool outLog = true, const QString &databaseSetting = QString());
    ~TestEnvironment();
    Q_DISABLE_COPY(TestEnvironment)

    QString Root() const { return m_dir.path(); }
    QString ConfigDirectory() const { return m_dir.filePath(QStringLiteral("config")); }
    QString DatabaseDirectory() const { return m_dir.filePath(QStringLiteral("db")); }
    QString ExportDirectory() const { return m_dir.filePath(QStringLiteral("export")); }
    QString LogText() const;
    // Changes only the loaded database setting (empty: the database directory), not the file.
    void UseDatabaseSetting(const QString &setting) const;

    // Makes every Qt warning fail the running test; call from a test's init().
    static void FailOnWarnings() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

private:
    // Writes a settings file of these lines into the folder and loads it over the values held.
    static void Load(const QString &directory, const QString &lines);

    QTemporaryDir m_dir;
};

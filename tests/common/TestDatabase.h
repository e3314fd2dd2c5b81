#pragma once

#include "TestEnvironment.h"

#include <QString>
#include <QUuid>
#include <QVariant>

class QSqlDatabase;

// A test's database of either kind: the SQLite file of a private TestEnvironment, or a fresh
// database on the throw-away PostgreSQL server the environment's setting points at. Checks run on
// a connection of their own. The server serves one test program: data folder and Unix socket in a
// temporary folder, no network address, an unprivileged account when the tests run as root;
// started at first use, stopped and removed when the program ends.
class TestDatabase
{
public:
    enum Kind
    {
        SQLite,
        PostgreSQL
    };

    // The "kind" column with one row per kind, for a test's _data function.
    static void AddKinds();
    // Empty while the server runs, else why it does not (see POSTGRES_OR_SKIP).
    static QString ServerProblem();
    // The test database's connection URI, of the kind the settings file holds.
    static QString ServerUri();
    // Points a "QPSQL" connection at the test database.
    static void ConfigureServer(QSqlDatabase &db);
    // Stops the server (at once, as a crash would) or starts it again.
    static bool SetServerRunning(bool running);

    explicit TestDatabase(Kind kind = SQLite, bool outLog = true);

    bool IsServer() const { return m_kind == PostgreSQL; }
    TestEnvironment &Env() { return m_env; }
    // The SQLite file.
    QString File() const { return m_env.DatabaseDirectory() + QStringLiteral("/Data.db"); }

    // The first row's first column, true where there is no row, invalid where the statement
    // failed; with everyRow, every row's columns as text.
    QVariant Sql(const QString &sql, bool everyRow = false) const;
    int Count(const QString &sql) const { return Sql(sql).toInt(); }
    // The patient key as a literal in the stored form.
    QString Key(const QUuid &id) const;
    QString Where(const QUuid &id) const { return QStringLiteral(" WHERE PatientID = ") + Key(id); }
    // Every row of the four tables, to see that nothing was written.
    QString Snapshot() const;
    // Makes inserts into the table fail, and lets them succeed again.
    bool RefuseInserts(const char *table, bool refuse) const;

private:
    Kind m_kind;
    TestEnvironment m_env;
};

// Skips the running test (or data row) when no server could be started, or fails it where the
// server is required (VANTREL_REQUIRE_POSTGRES=1, as CI sets it).
#define POSTGRES_OR_SKIP()                                                                         \
    do {                                                                                           \
        if (const QByteArray why = TestDatabase::ServerProblem().toUtf8(); !why.isEmpty()) {       \
            if (qgetenv("VANTREL_REQUIRE_POSTGRES") == "1")                                        \
                QFAIL(why.constData());                                                            \
            QSKIP(why.constData());                                                                \
        }                                                                                          \
    } while (false)

// Fetches the row's kind; skips a PostgreSQL row where no server runs.
#define FETCH_DATABASE_KIND(kind)                                                                  \
    QFETCH(int, kind##Value);                                                                      \
    const TestDatabase::Kind kind = TestDatabase::Kind(kind##Value);                               \
    if (kind == TestDatabase::PostgreSQL)                                                          \
    POSTGRES_OR_SKIP()

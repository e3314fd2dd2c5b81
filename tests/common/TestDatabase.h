#pragma once

#include "PostgresServer.h"
#include "TestEnvironment.h"

#include <QString>
#include <QUuid>
#include <QVariant>

#include <functional>

class QSqlQuery;

// A test's database of either kind, for store tests that run against both:
// the SQLite file of a private TestEnvironment, or a fresh database on the
// throw-away server with the environment's setting pointing at it. Checks
// run on a connection of their own, independent of the store.
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

    explicit TestDatabase(Kind kind = SQLite, bool outLog = true);

    bool IsServer() const { return m_kind == PostgreSQL; }
    TestEnvironment &Env() { return m_env; }
    QString LogText() const { return m_env.LogText(); }
    // The SQLite file.
    QString File() const;

    // The first column of the first row, true where there is no row, or an
    // invalid value where the statement failed.
    QVariant Sql(const QString &sql) const;
    int Count(const QString &sql) const { return Sql(sql).toInt(); }
    // The patient key as a literal in the stored form.
    QString Key(const QUuid &id) const;
    QString Where(const QUuid &id) const { return QStringLiteral(" WHERE PatientID = ") + Key(id); }
    // Every row of the four tables, to see that nothing was written.
    QString Snapshot() const;
    // Makes inserts into the table fail, and lets them succeed again.
    bool RefuseInserts(const char *table, bool refuse) const;

private:
    bool Run(const QString &sql, const std::function<void(QSqlQuery &)> &read) const;

    Kind m_kind;
    TestEnvironment m_env;
};

// Fetches the row's kind; skips a PostgreSQL row where no server runs.
#define FETCH_DATABASE_KIND(kind)                                                                  \
    QFETCH(int, kind##Value);                                                                      \
    const TestDatabase::Kind kind = TestDatabase::Kind(kind##Value);                               \
    if (kind == TestDatabase::PostgreSQL)                                                          \
    POSTGRES_OR_SKIP()

#pragma once

#include <QString>
#include <QTemporaryDir>

class QSqlDatabase;

// A throw-away PostgreSQL server for the tests of one test program: its data
// folder and its Unix socket live in a temporary folder, it listens on no
// network address, and it runs under an unprivileged account when the tests
// run as root. Started at the first Shared() call, stopped and removed when
// the program ends.
class PostgresServer
{
public:
    // The program's server; check IsRunning() (see POSTGRES_OR_SKIP).
    static PostgresServer &Shared();
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    bool IsRunning() const { return m_bRunning; }
    // Why the server is not running.
    QString Problem() const { return m_strProblem; }

    // A connection URI of the kind the settings file holds.
    QString Uri(const QString &database) const;
    // Points a "QPSQL" connection at one of the server's databases.
    void Configure(QSqlDatabase &db, const QString &database) const;
    // Drops the database if it exists and creates it empty.
    bool FreshDatabase(const QString &database);
    // Stops the server (at once, as a crash would) and starts it again.
    bool Stop();
    bool Start();

private:
    PostgresServer();
    // Runs one of the server's programs with its arguments, its output into the log.
    bool Run(const QString &command) const;

    // Short: the socket path must stay below about 100 bytes.
    QTemporaryDir m_dir{QStringLiteral("/tmp/vm-pg-XXXXXX")};
    QString m_strBinDir;
    bool m_bRunning = false;
    QString m_strProblem;
};

// Skips the running test (or data row) when no server could be started, or
// fails it where the server is required (VANTREL_REQUIRE_POSTGRES=1, as CI
// sets it).
#define POSTGRES_OR_SKIP()                                                                         \
    do {                                                                                           \
        if (!PostgresServer::Shared().IsRunning()) {                                               \
            const QByteArray why = PostgresServer::Shared().Problem().toUtf8();                    \
            if (qgetenv("VANTREL_REQUIRE_POSTGRES") == "1")                                        \
                QFAIL(why.constData());                                                            \
            QSKIP(why.constData());                                                                \
        }                                                                                          \
    } while (false)

#include "TestDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kDatabase = QStringLiteral("vantrel_test");
const QString kUser = QStringLiteral("vantrel");
const int kPort = 5432;

class Server
{
public:
    static Server &Shared()
    {
        static Server server;
        return server;
    }
    ~Server()
    {
        if (running)
            Switch(false);
    }
    // Starts the server, or stops it at once, as a crash would.
    bool Switch(bool start)
    {
        const bool done =
            Run(start ? QStringLiteral("pg_ctl -D %1/data -l %1/server.log -o \"-c "
                                       "listen_addresses='' -k %1 -p %2 -c fsync=off "
                                       "-c full_page_writes=off\" -w start")
                            .arg(dir.path(), QString::number(kPort))
                      : QStringLiteral("pg_ctl -D %1/data -m immediate -w stop").arg(dir.path()));
        running = start ? done : running && !done;
        return done;
    }

    // Short: the socket path must stay below about 100 bytes.
    QTemporaryDir dir{QStringLiteral("/tmp/vm-pg-XXXXXX")};
    bool running = false;
    QString problem = QStringLiteral("The test server has been stopped.");

private:
    Server()
    {
        // The server refuses to run as root: its folder goes to an unprivileged account.
        const passwd *nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")) ||
            !Run(QStringLiteral("pg_ctl --version"))) {
            problem = QStringLiteral("The PostgreSQL server programs or Qt's QPSQL driver are "
                                     "missing (Debian packages postgresql, libqt6sql6-psql); the "
                                     "PostgreSQL cases are skipped.");
        } else if (!dir.isValid() ||
                   (geteuid() == 0 && !(nobody && chown(dir.path().toLocal8Bit().constData(),
                                                        nobody->pw_uid, nobody->pw_gid) == 0)) ||
                   !Run(QStringLiteral("initdb -D %1/data -U %2 --auth=trust -E UTF8 --locale=C "
                                       "--no-sync")
                            .arg(dir.path(), kUser)) ||
                   !Switch(true)) {
            problem =
                QStringLiteral("The test server could not be started; see %1/log.").arg(dir.path());
            dir.setAutoRemove(false);
        }
    }
    // Runs a server program, output into the log, the newest installed server's first (Debian
    // keeps them out of PATH). Through the shell, so that stopping the server at the program's end
    // needs no Qt event machinery; the temporary folder's name needs no quoting.
    bool Run(const QString &command) const
    {
        const QString line =
            QStringLiteral("PATH=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n "
                           "1):$PATH %1%2 >>%3/log 2>&1")
                .arg(geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "",
                     command, dir.path());
        return std::system(line.toLocal8Bit().constData()) == 0;
    }
};

// TestDatabase::Sql() on a connection of its own; no file means the server's database.
QVariant Query(const QString &file, const QString &sql, bool everyRow = false,
               const QString &database = kDatabase)
{
    const QString name = QStringLiteral("check");
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(file.isEmpty() ? "QPSQL" : "QSQLITE", name);
        if (file.isEmpty())
            TestDatabase::ConfigureServer(db);
        db.setDatabaseName(file.isEmpty() ? database : file);
        const bool open = db.open();
        QSqlQuery query(db);
        if (open && query.exec(sql)) {
            QString rows;
            while (everyRow && query.next()) {
                for (int i = 0; i < query.record().count(); ++i)
                    rows += query.value(i).toString() + QLatin1Char('|');
                rows += QLatin1Char('\n');
            }
            result = everyRow ? QVariant(rows) : query.next() ? query.value(0) : QVariant(true);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

void TestDatabase::AddKinds()
{
    QTest::addColumn<int>("kindValue");
    QTest::newRow("SQLite") << int(SQLite);
    QTest::newRow("PostgreSQL") << int(PostgreSQL);
}

QString TestDatabase::ServerProblem()
{
    return Server::Shared().running ? QString() : Server::Shared().problem;
}

QString TestDatabase::ServerUri()
{
    return QStringLiteral("postgresql://%1@/%2?host=%3&port=%4")
        .arg(kUser, kDatabase, Server::Shared().dir.path())
        .arg(kPort);
}

void TestDatabase::ConfigureServer(QSqlDatabase &db)
{
    db.setHostName(Server::Shared().dir.path());
    db.setPort(kPort);
    db.setUserName(kUser);
    db.setDatabaseName(kDatabase);
    // No notices (of a database dropped that was not there) on the test output.
    db.setConnectOptions(QStringLiteral("options='-c client_min_messages=warning'"));
}

bool TestDatabase::SetServerRunning(bool running)
{
    return Server::Shared().Switch(running);
}

TestDatabase::TestDatabase(Kind kind, bool outLog)
    : m_kind(kind), m_env(outLog, IsServer() ? ServerUri() : QString())
{
    const auto admin = [](const QString &sql) {
        return Query(QString(), sql, false, QStringLiteral("postgres")).isValid();
    };
    if (IsServer() && !(admin("DROP DATABASE IF EXISTS " + kDatabase + " WITH (FORCE)") &&
                        admin("CREATE DATABASE " + kDatabase + " TEMPLATE template0")))
        qWarning("The test database could not be created.");
}

QVariant TestDatabase::Sql(const QString &sql, bool everyRow) const
{
    return Query(IsServer() ? QString() : File(), sql, everyRow);
}

QString TestDatabase::Key(const QUuid &id) const
{
    return IsServer() ? QStringLiteral("'%1'::uuid").arg(id.toString(QUuid::WithoutBraces))
                      : QStringLiteral("CAST('%1' AS BLOB)").arg(id.toString());
}

QString TestDatabase::Snapshot() const
{
    QString text;
    for (const char *table : {"Patient", "NIBPData", "SPO2Data", "TEMPData"})
        text += Sql(QStringLiteral("SELECT * FROM %1 ORDER BY %2")
                        .arg(table, table[0] == 'P' ? "PatientID" : "ID"),
                    true)
                    .toString();
    return text;
}

bool TestDatabase::RefuseInserts(const char *table, bool refuse) const
{
    const char *sql =
        !refuse      ? (IsServer() ? "DROP TRIGGER refuse ON %1" : "DROP TRIGGER refuse")
        : IsServer() ? "CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$BEGIN RAISE EXCEPTION 'refused'; END$$; CREATE TRIGGER refuse BEFORE "
                       "INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION refuse()"
                     : "CREATE TRIGGER refuse BEFORE INSERT ON %1 BEGIN SELECT RAISE(ABORT, "
                       "'refused'); END";
    return Sql(QString::fromLatin1(sql).replace("%1", QLatin1String(table))).isValid();
}

#include "PostgresServer.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace {

const char *const kUser = "vantrel";
const int kPort = 5432;

// The newest installed server's programs (Debian keeps them out of PATH).
QString FindBinDir()
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &version :
         versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        if (QFileInfo::exists(versions.filePath(version + QStringLiteral("/bin/initdb"))))
            return versions.filePath(version + QStringLiteral("/bin"));
    }
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    return initdb.isEmpty() ? QString() : QFileInfo(initdb).absolutePath();
}

// The server refuses to run as root: its folder goes to an unprivileged account.
bool HandToNobody(const QString &dir)
{
    const passwd *nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    return geteuid() != 0 ||
           (nobody && chown(dir.toLocal8Bit().constData(), nobody->pw_uid, nobody->pw_gid) == 0);
}

} // namespace

PostgresServer &PostgresServer::Shared()
{
    static PostgresServer server;
    return server;
}

PostgresServer::PostgresServer() : m_strBinDir(FindBinDir())
{
    if (m_strBinDir.isEmpty() || !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_strProblem = QStringLiteral("The PostgreSQL server programs or Qt's QPSQL driver are "
                                      "missing (Debian packages postgresql, libqt6sql6-psql); the "
                                      "PostgreSQL cases are skipped.");
    } else if (!m_dir.isValid() || !HandToNobody(m_dir.path()) ||
               !Run(QStringLiteral("initdb -D %1/data -U %2 --auth=trust -E UTF8 --locale=C "
                                   "--no-sync")
                        .arg(m_dir.path(), QLatin1String(kUser))) ||
               !Start()) {
        m_strProblem =
            QStringLiteral("The test server could not be started; see %1/log.").arg(m_dir.path());
        m_dir.setAutoRemove(false);
    }
}

PostgresServer::~PostgresServer()
{
    if (m_bRunning)
        Stop();
}

bool PostgresServer::Start()
{
    m_bRunning = Run(QStringLiteral("pg_ctl -D %1/data -l %1/server.log -o \"-c "
                                    "listen_addresses='' -k %1 -p %2 -c fsync=off -c "
                                    "full_page_writes=off\" -w start")
                         .arg(m_dir.path())
                         .arg(kPort));
    return m_bRunning;
}

bool PostgresServer::Stop()
{
    const bool stopped =
        Run(QStringLiteral("pg_ctl -D %1/data -m immediate -w stop").arg(m_dir.path()));
    m_bRunning = m_bRunning && !stopped;
    return stopped;
}

bool PostgresServer::Run(const QString &command) const
{
    // Through the shell, so that no Qt event machinery is needed when the
    // server is stopped at the end of the program. The temporary folder's
    // name needs no quoting.
    const QString line =
        QStringLiteral("%1'%2'/%3 >>%4/log 2>&1")
            .arg(geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "",
                 m_strBinDir, command, m_dir.path());
    return std::system(line.toLocal8Bit().constData()) == 0;
}

QString PostgresServer::Uri(const QString &database) const
{
    return QStringLiteral("postgresql://%1@/%2?host=%3&port=%4")
        .arg(QLatin1String(kUser), database, m_dir.path())
        .arg(kPort);
}

void PostgresServer::Configure(QSqlDatabase &db, const QString &database) const
{
    db.setHostName(m_dir.path());
    db.setPort(kPort);
    db.setUserName(QLatin1String(kUser));
    db.setDatabaseName(database);
}

bool PostgresServer::FreshDatabase(const QString &database)
{
    const QString name = QStringLiteral("test server admin");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        Configure(db, QStringLiteral("postgres"));
        ok = db.open();
        QSqlQuery query(db);
        // Asked first: dropping a missing database would print a notice.
        ok = ok &&
             query.exec(
                 QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'").arg(database)) &&
             (!query.next() ||
              query.exec(QStringLiteral("DROP DATABASE \"%1\" WITH (FORCE)").arg(database))) &&
             query.exec(QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0").arg(database));
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

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
const char *const kPort = "5432";

// The newest installed server's programs (Debian keeps them out of PATH).
QString FindBinDir()
{
    const QByteArray given = qgetenv("VANTREL_PG_BIN");
    if (!given.isEmpty())
        return QString::fromLocal8Bit(given);
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    const QStringList found =
        versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString &version : found) {
        const QString bin = versions.filePath(version + QStringLiteral("/bin"));
        if (QFileInfo::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    return initdb.isEmpty() ? QString() : QFileInfo(initdb).absolutePath();
}

QString Quoted(const QString &text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

} // namespace

PostgresServer &PostgresServer::Shared()
{
    static PostgresServer server;
    return server;
}

bool PostgresServer::Required()
{
    return qgetenv("VANTREL_REQUIRE_POSTGRES") == "1";
}

PostgresServer::PostgresServer()
{
    m_strBinDir = FindBinDir();
    if (m_strBinDir.isEmpty()) {
        m_strProblem = QStringLiteral("PostgreSQL server programs not found (Debian package "
                                      "postgresql); the PostgreSQL cases are skipped.");
        return;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_strProblem = QStringLiteral("Qt's QPSQL driver is missing (Debian package "
                                      "libqt6sql6-psql); the PostgreSQL cases are skipped.");
        return;
    }
    // Short and private: the socket path must stay below about 100 bytes.
    m_pDir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/vm-pg-XXXXXX"));
    if (!m_pDir->isValid() || !Initialise()) {
        if (m_strProblem.isEmpty())
            m_strProblem = QStringLiteral("The test server could not be started; see %1/log.")
                               .arg(m_pDir->path());
        m_pDir->setAutoRemove(false);
    }
}

PostgresServer::~PostgresServer()
{
    if (m_bRunning)
        Stop();
}

bool PostgresServer::Initialise()
{
    // The server refuses to run as root: the folder goes to an unprivileged account.
    if (geteuid() == 0) {
        const passwd *nobody = getpwnam("nobody");
        if (!nobody ||
            chown(m_pDir->path().toLocal8Bit().constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_strProblem = QStringLiteral("No unprivileged account to run the test server.");
            return false;
        }
    }
    const QString data = m_pDir->filePath(QStringLiteral("data"));
    if (!Run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), QLatin1String(kUser),
              QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--locale=C"), QStringLiteral("--no-sync")}))
        return false;
    return Start();
}

bool PostgresServer::Start()
{
    const QString options = QStringLiteral("-c listen_addresses='' -k %1 -p %2 -c fsync=off "
                                           "-c full_page_writes=off")
                                .arg(m_pDir->path(), QLatin1String(kPort));
    m_bRunning =
        Run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_pDir->filePath(QStringLiteral("data")), QStringLiteral("-o"),
             options, QStringLiteral("-l"), m_pDir->filePath(QStringLiteral("server.log")),
             QStringLiteral("-w"), QStringLiteral("start")});
    return m_bRunning;
}

bool PostgresServer::Stop()
{
    const bool stopped =
        Run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_pDir->filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
    m_bRunning = m_bRunning && !stopped;
    return stopped;
}

bool PostgresServer::Run(const QString &program, const QStringList &arguments)
{
    // Through the shell, so that no Qt event machinery is needed when the
    // server is stopped at the end of the program.
    QString command = Quoted(m_strBinDir + QLatin1Char('/') + program);
    if (geteuid() == 0)
        command =
            QStringLiteral("setpriv --reuid=nobody --regid=nogroup --clear-groups ") + command;
    for (const QString &argument : arguments)
        command += QLatin1Char(' ') + Quoted(argument);
    command += QStringLiteral(" >>%1 2>&1").arg(Quoted(m_pDir->filePath(QStringLiteral("log"))));
    return std::system(command.toLocal8Bit().constData()) == 0;
}

QString PostgresServer::Uri(const QString &database) const
{
    return QStringLiteral("postgresql://%1@/%2?host=%3&port=%4")
        .arg(QLatin1String(kUser), database, m_pDir ? m_pDir->path() : QString(),
             QLatin1String(kPort));
}

void PostgresServer::Configure(QSqlDatabase &db, const QString &database) const
{
    db.setHostName(m_pDir->path());
    db.setPort(QByteArray(kPort).toInt());
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
                 QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'").arg(database));
        const bool exists = ok && query.next();
        ok = ok &&
             (!exists ||
              query.exec(QStringLiteral("DROP DATABASE \"%1\" WITH (FORCE)").arg(database))) &&
             query.exec(QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0").arg(database));
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

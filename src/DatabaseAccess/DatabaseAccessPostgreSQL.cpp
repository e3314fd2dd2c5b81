#include "DatabaseAccessPostgreSQL.h"

#include "MLog.h"
#include "MSettings.h"
#include "PostgresDialect.h"
#include "PostgresStatements.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <utility>

namespace {

QString Tr(const char *text)
{
    return QCoreApplication::translate("DatabaseAccessPostgreSQL", text);
}

// The server's own words, on one line.
QString Cause(const QSqlError &error)
{
    return error.databaseText().simplified();
}

} // namespace

DatabaseAccessPostgreSQL::DatabaseAccessPostgreSQL(const QString &connectionName)
    : PatientStore(std::make_unique<PostgresDialect>())
{
    const QString setting = MSettings::GetInstance()->GetDatabaseFilePath();
    m_address = DatabaseServerAddress::Parse(setting);
    if (!m_address.Problem().isEmpty()) {
        MLOG("Database server address is incorrect!");
        // A setting with a password is not repeated anywhere.
        m_strOpenProblem =
            m_address.HasPassword()
                ? Tr("The patient database setting holds a password. Passwords are not kept in "
                     "the settings file: remove it there and put it into the password file "
                     "(~/.pgpass) instead.")
                : Tr("The patient database setting \"%1\" cannot be used: %2.")
                      .arg(setting, m_address.Problem());
        m_uOpenResult = DB_ERR_DRIVER_OR_PATH;
        return;
    }
    const QString driver = QLatin1String(m_connection.Dialect().DriverName());
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        MLOG("PostgreSQL driver is not available.");
        m_strOpenProblem = Tr("The patient database \"%1\" on the server %2 cannot be opened: the "
                              "PostgreSQL driver of this installation is missing.")
                               .arg(m_address.Database(), m_address.ServerName());
        m_uOpenResult = DB_ERR_DRIVER_OR_PATH;
        return;
    }
    m_db = QSqlDatabase::addDatabase(
        driver, connectionName.isEmpty() ? QLatin1String(ConnectionName()) : connectionName);
    m_db.setHostName(m_address.Host());
    m_db.setPort(m_address.Port());
    m_db.setUserName(m_address.User());
    m_db.setDatabaseName(m_address.Database());
    QString options = m_address.ConnectOptions();
    // An unreachable host must not hold up the database work for long.
    if (!options.contains(QLatin1String("connect_timeout=")))
        options +=
            QLatin1String(options.isEmpty() ? "" : ";") + QStringLiteral("connect_timeout=5");
    m_db.setConnectOptions(options);
    m_uOpenResult = Connect();
}

uint DatabaseAccessPostgreSQL::Connect()
{
    const QString where = QStringLiteral("Database server %1, database %2")
                              .arg(m_address.ServerName(), m_address.Database());
    if (!m_db.open()) {
        const QString cause = Cause(m_db.lastError());
        MLOG(where + QStringLiteral(": cannot connect (%1).").arg(cause));
        m_strOpenProblem = Tr("The patient database \"%1\" on the server %2 cannot be reached "
                              "(%3).")
                               .arg(m_address.Database(), m_address.ServerName(), cause);
        return DB_ERR_OPEN;
    }
    MLOG(where + QStringLiteral(": connected."));
    m_db.driver()->subscribeToNotification(QLatin1String(kPgChangeChannel));
    const uint code = m_bSchemaReady ? uint(DB_OK) : PrepareServerSchema();
    if (code != DB_OK) {
        m_strOpenProblem =
            Tr("The patient database \"%1\" on the server %2 lacks tables that "
               "cannot be created (%3).")
                .arg(m_address.Database(), m_address.ServerName(), Cause(m_db.lastError()));
        return code;
    }
    m_strOpenProblem.clear();
    return SelfCheck();
}

uint DatabaseAccessPostgreSQL::PrepareServerSchema()
{
    // Several workstations may start on an empty database at once: the first
    // one to hold the lock builds the tables and stores the demo patients,
    // the others find the tables there.
    QSqlQuery lock(m_db);
    if (!lock.exec(QLatin1String(kPgLockSchema)))
        return DB_ERR_CREATE_TABLES;
    QSqlError readError;
    const uint code =
        PrepareSchema(readError) == SchemaState::Ready ? uint(DB_OK) : uint(DB_ERR_CREATE_TABLES);
    QSqlQuery(m_db).exec(QLatin1String(kPgUnlockSchema));
    m_bSchemaReady = code == DB_OK;
    return code;
}

void DatabaseAccessPostgreSQL::ReconnectIfLost()
{
    // A connection the server dropped reads as closed after its failed query.
    if (m_db.isValid() && !m_db.isOpen()) {
        m_uOpenResult = Connect();
        m_bReconnected = m_bReconnected || m_uOpenResult == DB_OK;
    }
}

bool DatabaseAccessPostgreSQL::TakeReconnected()
{
    return std::exchange(m_bReconnected, false);
}

QSqlDriver *DatabaseAccessPostgreSQL::ChangeNotifier() const
{
    return m_db.isValid() ? m_db.driver() : nullptr;
}

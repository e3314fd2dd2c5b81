#include "DatabaseAccessSQLite.h"

#include "MLog.h"
#include "MSettings.h"
#include "SqliteDialect.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

namespace {

const char *const kFileName = "Data.db";
const char *const kPassword = "vorpa";
const char *const kHostName = "vorpa";

QString Tr(const char *text)
{
    return QCoreApplication::translate("DatabaseAccessSQLite", text);
}

// What the user is told about a file whose schema cannot even be read.
QString UnreadableFileProblem(const QString &filePath, const QSqlError &error)
{
    switch (error.nativeErrorCode().toInt() & 0xFF) {
    case SQLITE_NOTADB:
        return Tr("The file \"%1\" is not a patient database: it is no SQLite database file. "
                  "It has been left as it is.")
            .arg(filePath);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Tr("The patient database \"%1\" is locked by another program. It has been left "
                  "as it is; close the other program, then start this one again.")
            .arg(filePath);
    default:
        return Tr("The patient database \"%1\" cannot be read (%2). It has been left as it is.")
            .arg(filePath, error.databaseText());
    }
}

QString NoTablesProblem(const QString &filePath)
{
    return Tr("The patient database \"%1\" lacks tables that cannot be added: the file could "
              "not be written (is it read-only, or the disk full?).")
        .arg(filePath);
}

} // namespace

DatabaseAccessSQLite::DatabaseAccessSQLite() : PatientStore(std::make_unique<SqliteDialect>())
{
    m_uOpenResult = OpenDatabase();
    if (m_uOpenResult != DB_OK && m_strOpenProblem.isEmpty())
        m_strOpenProblem = Tr("The patient database cannot be used.");
}

uint DatabaseAccessSQLite::OpenDatabase()
{
    const QString directory = MSettings::GetInstance()->GetDatabaseFilePath();
    const QString filePath = directory + QLatin1Char('/') + QLatin1String(kFileName);
    const QString driver = QLatin1String(m_connection.Dialect().DriverName());
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        MLOG("Sqlite driver is not available.");
        m_strOpenProblem = Tr("The patient database \"%1\" cannot be opened: the SQLite driver "
                              "of this installation is missing.")
                               .arg(filePath);
        return DB_ERR_DRIVER_OR_PATH;
    }
    // An empty setting would put the file at the file-system root.
    if (directory.isEmpty() || !QDir().mkpath(directory)) {
        MLOG("Database file path is incorrect!");
        m_strOpenProblem =
            Tr("The patient database \"%1\" cannot be opened: its folder cannot be created.")
                .arg(filePath);
        return DB_ERR_DRIVER_OR_PATH;
    }
    const bool isNewFile = !QFile::exists(filePath);

    m_db = QSqlDatabase::addDatabase(driver, QLatin1String(ConnectionName()));
    m_db.setDatabaseName(filePath);
    m_db.setPassword(QLatin1String(kPassword));
    m_db.setHostName(QLatin1String(kHostName));
    if (!m_db.open()) {
        MLOG("Database file path is incorrect!");
        m_strOpenProblem = Tr("The patient database \"%1\" cannot be opened (%2).")
                               .arg(filePath, m_db.lastError().databaseText());
        return DB_ERR_OPEN;
    }
    // The patient list sorts up to some 20 MB of rows and a big patient's
    // read visits many pages: in memory, both take half the time.
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA cache_size = -16384"));
    const uint code = PrepareFileSchema(filePath, isNewFile);
    return code != DB_OK ? code : SelfCheck();
}

uint DatabaseAccessSQLite::PrepareFileSchema(const QString &filePath, bool isNewFile)
{
    QSqlError readError;
    switch (PrepareSchema(readError)) {
    case SchemaState::Ready:
        return DB_OK;
    case SchemaState::Unreadable:
        // Nothing is written to a file that cannot be read, and with the
        // connection closed every later operation fails at once instead of
        // waiting for a lock again.
        m_strOpenProblem = UnreadableFileProblem(filePath, readError);
        MLOG(m_strOpenProblem);
        m_db.close();
        return DB_ERR_OPEN;
    case SchemaState::NotCreated:
        if (!isNewFile)
            break;
        // A file without tables would be taken for a database at the next start.
        m_db.close();
        QFile::remove(filePath);
        QFile::remove(filePath + QLatin1String("-journal"));
        m_strOpenProblem = Tr("The patient database \"%1\" cannot be created: its tables "
                              "could not be written (is the disk full?). The unfinished file "
                              "has been removed again.")
                               .arg(filePath);
        return DB_ERR_CREATE_TABLES;
    case SchemaState::NotCompleted:
        break;
    }
    m_strOpenProblem = NoTablesProblem(filePath);
    return DB_ERR_CREATE_TABLES;
}

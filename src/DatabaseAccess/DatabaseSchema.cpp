#include "DatabaseSchema.h"

#include "DatabaseTransaction.h"
#include "StoreConnection.h"

#include <QSqlQuery>

DatabaseSchema::DatabaseSchema(StoreConnection &connection) : m_connection(connection) {}

bool DatabaseSchema::Read()
{
    m_names.clear();
    QSqlQuery query(m_connection.db);
    query.setForwardOnly(true);
    // Reading the schema is the first read of the file: a file that is no
    // database, or that another program holds locked, fails here.
    if (!query.exec(QLatin1String(m_connection.Dialect().SchemaNames()))) {
        m_error = query.lastError();
        return false;
    }
    while (query.next())
        m_names.insert(query.value(0).toString().toLower()); // the server folds names
    m_error = query.lastError();
    return !m_error.isValid();
}

bool DatabaseSchema::HasNoTables() const
{
    for (const char *table : {"Patient", "NIBPData", "SPO2Data", "TEMPData"}) {
        if (m_names.contains(QString::fromLatin1(table).toLower()))
            return false;
    }
    return true;
}

bool DatabaseSchema::AddMissingTables()
{
    return AddMissing(m_connection.Dialect().Tables());
}

bool DatabaseSchema::AddMissingSpeedUps()
{
    return AddMissing(m_connection.Dialect().SpeedUps());
}

bool DatabaseSchema::AddMissing(const QList<StoreDialect::SchemaPart> &parts)
{
    QList<StoreDialect::SchemaPart> missing;
    for (const StoreDialect::SchemaPart &part : parts) {
        if (!m_names.contains(QString::fromLatin1(part.name).toLower()))
            missing.append(part);
    }
    if (missing.isEmpty())
        return true;
    DatabaseTransaction transaction(m_connection, DatabaseTransaction::Immediate);
    bool ok = transaction.IsBegun();
    for (const StoreDialect::SchemaPart &part : missing) {
        for (const char *sql : part.statements) {
            QSqlQuery query(m_connection.db);
            ok = ok && (!sql || query.exec(QLatin1String(sql)));
        }
    }
    ok = ok && transaction.Commit();
    if (ok) {
        for (const StoreDialect::SchemaPart &part : missing)
            m_names.insert(QString::fromLatin1(part.name).toLower());
    }
    return ok;
}

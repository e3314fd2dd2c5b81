#include "DatabaseSchema.h"

#include "DatabaseTransaction.h"

#include <QSqlQuery>

DatabaseSchema::DatabaseSchema(QSqlDatabase &db) : m_db(db), m_dialect(StoreDialect::Of(db)) {}

bool DatabaseSchema::Read()
{
    m_names.clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // Reading the schema is the first read of the file: a file that is no
    // database, or that another program holds locked, fails here.
    if (!query.exec(QLatin1String(m_dialect.schemaNames))) {
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
    return AddMissing(m_dialect.tables, 4);
}

bool DatabaseSchema::AddMissingTimeIndexes()
{
    return AddMissing(m_dialect.timeIndexes, m_dialect.timeIndexCount);
}

bool DatabaseSchema::AddMissing(const StoreDialect::SchemaPart *parts, int count)
{
    QList<const StoreDialect::SchemaPart *> missing;
    for (int i = 0; i < count; ++i) {
        if (!m_names.contains(QString::fromLatin1(parts[i].name).toLower()))
            missing.append(&parts[i]);
    }
    if (missing.isEmpty())
        return true;
    DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
    bool ok = transaction.IsBegun();
    for (const StoreDialect::SchemaPart *part : missing) {
        for (const char *sql : part->statements) {
            QSqlQuery query(m_db);
            ok = ok && (!sql || query.exec(QLatin1String(sql)));
        }
    }
    ok = ok && transaction.Commit();
    if (ok) {
        for (const StoreDialect::SchemaPart *part : missing)
            m_names.insert(QString::fromLatin1(part->name).toLower());
    }
    return ok;
}

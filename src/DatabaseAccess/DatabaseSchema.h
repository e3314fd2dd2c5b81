#pragma once

#include "StoreDialect.h"

#include <QSet>
#include <QSqlError>
#include <QString>

class StoreConnection;

// The program's tables and indexes in an open database: which of them it
// holds, and adding those it lacks with the statements a new database is
// built with, so that a repaired one is the same as a new one.
class DatabaseSchema
{
public:
    explicit DatabaseSchema(StoreConnection &connection);

    // Reads the names of the database's tables and indexes. False when it
    // cannot be read at all (not a database, locked, damaged): LastError()
    // says why.
    bool Read();
    QSqlError LastError() const { return m_error; }

    // None of the four tables of patient data: the database holds none yet
    // (a new or empty one, or one a failed first start left behind).
    bool HasNoTables() const;
    // Creates each table the database lacks, with its index, in one
    // transaction; the other tables are not touched.
    bool AddMissingTables();
    // Adds the speed-ups the database lacks, in one transaction; one that
    // holds them all is not written to.
    bool AddMissingSpeedUps();

private:
    bool AddMissing(const QList<StoreDialect::SchemaPart> &parts);

    StoreConnection &m_connection;
    QSet<QString> m_names;
    QSqlError m_error;
};

#pragma once

#include "StoreDialect.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// The program's tables and indexes in an open database: which of them it
// holds, and adding those it lacks with the statements a new database is
// built with, so that a repaired one is the same as a new one.
class DatabaseSchema
{
public:
    explicit DatabaseSchema(QSqlDatabase &db);

    // Reads the names of the file's tables and indexes. False when the file
    // cannot be read at all (not a database, locked, damaged): LastError()
    // says why.
    bool Read();
    QSqlError LastError() const { return m_error; }

    // None of the four tables: the file holds no patient data yet (a new or
    // empty file, or one a failed first start left behind).
    bool HasNoTables() const;
    // Creates each table the file lacks, with its index, in one transaction.
    bool AddMissingTables();
    // Creates the measure-time indexes the file lacks, in one transaction; a
    // file that holds them all is not written to.
    bool AddMissingTimeIndexes();

private:
    bool AddMissing(const StoreDialect::SchemaPart *parts, int count);

    QSqlDatabase &m_db;
    const StoreDialect &m_dialect;
    QSet<QString> m_names;
    QSqlError m_error;
};

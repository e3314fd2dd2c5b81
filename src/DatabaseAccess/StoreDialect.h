#pragma once

#include "PreparedStatement.h"

#include <QSqlDatabase>
#include <QUuid>
#include <QVariant>

#include <memory>

// What the store does differently on each kind of database: the statements
// that differ, how the patient key is bound, how a writing transaction
// begins and whom it tells. Everything else is the same on both.
class StoreDialect
{
public:
    // The dialect of the connection's driver (SQLite unless it is QPSQL).
    static const StoreDialect &Of(const QSqlDatabase &db);
    static const StoreDialect &Sqlite();
    static const StoreDialect &Postgres();

    struct SchemaPart
    {
        const char *name;
        const char *statements[2];
    };

    const char *driverName;
    // The four tables with their index; the measure-time indexes of the
    // duplicate check (none where the tables' own constraint serves).
    const SchemaPart *tables;
    const SchemaPart *timeIndexes;
    int timeIndexCount;
    // Lists the names of the database's tables and indexes.
    const char *schemaNames;
    const char *insertPatient;
    const char *insertNibp;
    const char *insertSpo2;
    const char *insertTemp;
    // The duplicate checks; null where the inserts take whole chains.
    // The record inserts bind :PatientID, :MeasureTime, then the values.
    const char *checkNibp;
    const char *checkSpo2;
    const char *checkTemp;
    // Begins a writing transaction; null for the driver's own begin.
    const char *beginWrite;
    // Run before every writing commit; null where nobody listens.
    const char *notifyChange;
    // Binds and runs the import loops on the SQLite handle itself.
    bool nativeSqlite;
    // The record inserts take a whole chain as arrays (see ArrayParameters).
    bool chainInserts;

    // The patient key as every statement binds it.
    QVariant Key(const QUuid &id) const;
    // A statement for the per-record loops of an import.
    std::unique_ptr<PreparedStatement> Prepare(const QSqlDatabase &db, const char *sql) const;
};

#pragma once

#include "MeasureRecords.h"
#include "PreparedStatement.h"

#include <QList>
#include <QSqlDatabase>
#include <QUuid>
#include <QVariant>

#include <memory>

class DatabaseTransaction;

// What the store does differently on each kind of database: the statements
// that differ, how the patient key is bound, how a writing transaction
// begins and whom it tells, and how a record chain is stored without its
// duplicates. Chosen once, when the store is made.
class StoreDialect
{
public:
    struct SchemaPart
    {
        const char *name;
        QList<const char *> statements;
    };

    virtual ~StoreDialect();

    virtual const char *DriverName() const = 0;
    // The tables the program needs, each with its index, in creation order.
    QList<SchemaPart> Tables() const;
    // The CREATE TABLE statements of Patient, NIBPData, SPO2Data, TEMPData
    // and PatientAlias, in this order (the indexes are the same everywhere).
    virtual QList<const char *> CreateTables() const = 0;
    // Creates, fills and keeps up to date the table of each patient's record
    // counts and newest times.
    virtual QList<const char *> CreateTally() const = 0;
    // What only speeds the work up: a database that cannot take it goes without.
    virtual QList<SchemaPart> SpeedUps() const { return {}; }
    // Lists the names of the database's tables and indexes.
    virtual const char *SchemaNames() const = 0;
    virtual const char *InsertPatient() const = 0;
    virtual const char *SelectAllPatientBrief() const = 0;
    // The patient key as every statement binds it.
    virtual QVariant Key(const QUuid &id) const = 0;
    // Begins a writing transaction; null for the driver's own begin.
    virtual const char *BeginWrite() const { return nullptr; }
    // Run before every writing commit; null where nobody listens. The
    // second, for a change to one patient only, binds his braced UUID text
    // to :patient.
    virtual const char *NotifyChange() const { return nullptr; }
    virtual const char *NotifyPatientChange() const { return nullptr; }
    // Whether several work items may share one transaction: a lost
    // connection would lose what earlier items of it stored.
    virtual bool SharesTransactions() const { return false; }
    // A statement run once per record, or read row by row, in the way that
    // costs this driver least.
    virtual std::unique_ptr<PreparedStatement> Prepare(const QSqlDatabase &db,
                                                       const char *sql) const = 0;

    // Stores the records whose MeasureTime (to the second) the patient does
    // not hold yet, inside the caller's transaction; rolls it back on failure.
    virtual bool StoreNewRecords(QSqlDatabase &db, DatabaseTransaction &transaction,
                                 const QVariant &key, MeasureRecords &records,
                                 uint &inserted) const = 0;
};

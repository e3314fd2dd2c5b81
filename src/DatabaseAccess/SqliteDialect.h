#pragma once

#include "DatabaseStatements.h"
#include "StoreDialect.h"

// The SQLite file: the key as braced UUID text bytes, writes that take the
// file's write lock at their begin, and an import loop that checks and
// inserts record by record on the connection's native handle.
class SqliteDialect : public StoreDialect
{
public:
    const char *DriverName() const override { return "QSQLITE"; }
    QList<const char *> CreateTables() const override;
    QList<const char *> CreateTally() const override;
    QList<SchemaPart> SpeedUps() const override;
    const char *SchemaNames() const override { return "SELECT name FROM sqlite_master"; }
    const char *InsertPatient() const override;
    const char *SelectAllPatientBrief() const override { return kSqlSelectAllPatientBrief; }
    QVariant Key(const QUuid &id) const override;
    std::unique_ptr<PreparedStatement> Prepare(const QSqlDatabase &db,
                                               const char *sql) const override;
    // The driver's own begin is a deferred one.
    const char *BeginWrite() const override { return "BEGIN IMMEDIATE"; }
    // Each commit of a file waits for the disk: sharing one pays that once.
    bool SharesTransactions() const override { return true; }
    bool StoreNewRecords(QSqlDatabase &db, DatabaseTransaction &transaction, const QVariant &key,
                         MeasureRecords &records, uint &inserted) const override;
};

#pragma once

#include "StoreDialect.h"

// A PostgreSQL server shared by several workstations: the key as a UUID,
// a change notice with every writing commit, and each record chain stored
// by one statement that skips the times the patient has, also those another
// workstation stored meanwhile.
class PostgresDialect : public StoreDialect
{
public:
    const char *DriverName() const override { return "QPSQL"; }
    QList<const char *> CreateTables() const override;
    QList<const char *> CreateTally() const override;
    const char *SchemaNames() const override;
    const char *InsertPatient() const override;
    const char *SelectAllPatientBrief() const override;
    QVariant Key(const QUuid &id) const override;
    std::unique_ptr<PreparedStatement> Prepare(const QSqlDatabase &db,
                                               const char *sql) const override;
    const char *NotifyChange() const override;
    const char *NotifyPatientChange() const override;
    bool StoreNewRecords(QSqlDatabase &db, DatabaseTransaction &transaction, const QVariant &key,
                         MeasureRecords &records, uint &inserted) const override;
};

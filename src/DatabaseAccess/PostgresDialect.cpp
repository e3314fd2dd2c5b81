#include "PostgresDialect.h"

#include "ArrayParameters.h"
#include "DatabaseTransaction.h"
#include "PostgresStatements.h"
#include "QueryStatement.h"

#include <iterator>

namespace {

const char *InsertOf(MeasureKind kind)
{
    switch (kind) {
    case MeasureKind::Nibp:
        return kPgInsertNibp;
    case MeasureKind::Spo2:
        return kPgInsertSpo2;
    case MeasureKind::Temp:
        break;
    }
    return kPgInsertTemp;
}

} // namespace

QList<const char *> PostgresDialect::CreateTables() const
{
    return {kPgCreatePatientTable, kPgCreateNibpTable, kPgCreateSpo2Table, kPgCreateTempTable,
            kPgCreateAliasTable};
}

QList<const char *> PostgresDialect::CreateTally() const
{
    return QList<const char *>(std::begin(kPgCreateTally), std::end(kPgCreateTally));
}

const char *PostgresDialect::SchemaNames() const
{
    return kPgSchemaNames;
}

const char *PostgresDialect::SelectAllPatientBrief() const
{
    return kPgSelectAllPatientBrief;
}

const char *PostgresDialect::InsertPatient() const
{
    return kPgInsertPatient;
}

std::unique_ptr<PreparedStatement> PostgresDialect::Prepare(const QSqlDatabase &db,
                                                            const char *sql) const
{
    return std::make_unique<QueryStatement>(db, sql);
}

QVariant PostgresDialect::Key(const QUuid &id) const
{
    return id.toString(QUuid::WithoutBraces);
}

const char *PostgresDialect::NotifyChange() const
{
    return kPgNotifyChange;
}

const char *PostgresDialect::NotifyPatientChange() const
{
    return kPgNotifyPatientChange;
}

bool PostgresDialect::StoreNewRecords(QSqlDatabase &db, DatabaseTransaction &transaction,
                                      const QVariant &key, MeasureRecords &records,
                                      uint &inserted) const
{
    ArrayParameters arrays;
    while (records.Next()) {
        arrays.Bind(1, records.Time());
        records.BindValues(arrays);
    }
    QueryStatement insert(db, InsertOf(records.Kind()));
    bool ok = insert.IsValid() && insert.Bind(0, key);
    for (int position = 1; ok && position < records.Columns(); ++position)
        ok = insert.Bind(position, arrays.Literal(position));
    ok = ok && insert.Step() == PreparedStatement::Done;
    if (!ok) {
        // A server cannot free a statement inside a transaction that has failed.
        transaction.Rollback();
        return false;
    }
    inserted += static_cast<uint>(insert.ChangedRows());
    return true;
}

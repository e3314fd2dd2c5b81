#include "SqliteDialect.h"

#include "DatabaseStatements.h"
#include "DatabaseTransaction.h"
#include "DatabaseValueCodec.h"
#include "SqliteStatement.h"

#include <iterator>

namespace {

struct KindStatements
{
    const char *check;
    const char *insert;
};

KindStatements StatementsOf(MeasureKind kind)
{
    switch (kind) {
    case MeasureKind::Nibp:
        return {kSqlSelectNibpAtTime, kSqlInsertNibp};
    case MeasureKind::Spo2:
        return {kSqlSelectSpo2AtTime, kSqlInsertSpo2};
    case MeasureKind::Temp:
        break;
    }
    return {kSqlSelectTempAtTime, kSqlInsertTemp};
}

// Ends a failed transaction while its statements still exist.
bool Abandon(DatabaseTransaction &transaction)
{
    transaction.Rollback();
    return false;
}

} // namespace

QList<const char *> SqliteDialect::CreateTables() const
{
    return {kSqlCreatePatientTable, kSqlCreateNibpTable, kSqlCreateSpo2Table, kSqlCreateTempTable,
            kSqlAlias.createTable};
}

QList<const char *> SqliteDialect::CreateTally() const
{
    return QList<const char *>(std::begin(kSqlCreateTally), std::end(kSqlCreateTally));
}

QList<StoreDialect::SchemaPart> SqliteDialect::SpeedUps() const
{
    return {{"NIBPTime_NIBPData", {kSqlCreateNibpTimeIndex, nullptr}},
            {"SPO2Time_SPO2Data", {kSqlCreateSpo2TimeIndex, nullptr}},
            {"TEMPTime_TEMPData", {kSqlCreateTempTimeIndex, nullptr}}};
}

const char *SqliteDialect::InsertPatient() const
{
    return kSqlInsertPatient;
}

std::unique_ptr<PreparedStatement> SqliteDialect::Prepare(const QSqlDatabase &db,
                                                          const char *sql) const
{
    return std::make_unique<SqliteStatement>(db, sql);
}

QVariant SqliteDialect::Key(const QUuid &id) const
{
    return DatabaseValueCodec::UuidToDb(id);
}

// Each statement is prepared once and bound again per record; the check sees
// rows inserted earlier in the chain. Bound by position: :PatientID and
// :MeasureTime come first in both (the check's second :MeasureTime is the
// same parameter).
bool SqliteDialect::StoreNewRecords(QSqlDatabase &db, DatabaseTransaction &transaction,
                                    const QVariant &key, MeasureRecords &records,
                                    uint &inserted) const
{
    const KindStatements sql = StatementsOf(records.Kind());
    // Qt's query object costs SQLite several times its own work per record.
    SqliteStatement check(db, sql.check);
    SqliteStatement insert(db, sql.insert);
    if (!check.IsValid() || !insert.IsValid())
        return Abandon(transaction);
    while (records.Next()) {
        const QVariant time = records.Time();
        if (!check.Bind(0, key) || !check.Bind(1, time))
            return Abandon(transaction);
        const PreparedStatement::StepResult found = check.Step();
        check.Reset();
        if (found == PreparedStatement::Error)
            return Abandon(transaction);
        if (found == PreparedStatement::Row)
            continue; // a duplicate: that time is stored already
        const bool bound =
            insert.Bind(0, key) && insert.Bind(1, time) && records.BindValues(insert);
        const bool stored = bound && insert.Step() == PreparedStatement::Done;
        insert.Reset();
        if (!stored)
            return Abandon(transaction);
        ++inserted;
    }
    return true;
}

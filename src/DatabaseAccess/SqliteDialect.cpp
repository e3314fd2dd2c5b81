#include "SqliteDialect.h"

#include "DatabaseStatements.h"
#include "DatabaseTransaction.h"
#include "DatabaseValueCodec.h"
#include "SqliteStatement.h"

#include <algorithm>
#include <iterator>

namespace {

struct KindStatements
{
    const char *newest;
    const char *check;
    const char *insert;
};

KindStatements StatementsOf(MeasureKind kind)
{
    switch (kind) {
    case MeasureKind::Nibp:
        return {VM_SQL_NEWEST_RECORD("NIBPData"), kSqlSelectNibpAtTime, kSqlInsertNibp};
    case MeasureKind::Spo2:
        return {VM_SQL_NEWEST_RECORD("SPO2Data"), kSqlSelectSpo2AtTime, kSqlInsertSpo2};
    case MeasureKind::Temp:
        break;
    }
    return {VM_SQL_NEWEST_RECORD("TEMPData"), kSqlSelectTempAtTime, kSqlInsertTemp};
}

// The newest time text among a patient's stored records of one kind, as
// SQLite orders them. A record whose time sorts after it cannot be stored
// already, neither alone nor with milliseconds after it: an import of new
// records, each after the last, skips every duplicate check. An ASCII time
// after it byte by byte is after it in SQLite's order in every encoding a
// file can have. A newest that is a blob hides the newest text: then every
// record is checked.
class NewestTime
{
public:
    bool Read(SqliteStatement &newest)
    {
        if (newest.Step() != PreparedStatement::Row)
            return false;
        const QVariant value = newest.Value(0);
        // NULL means no record, and numbers sort before every text.
        m_bKnown = value.typeId() != QMetaType::QByteArray;
        if (value.typeId() == QMetaType::QString)
            m_text = value.toString().toUtf8();
        return true;
    }
    bool IsAfter(const QByteArray &time) const
    {
        const auto ascii = [](char c) { return (c & 0x80) == 0; };
        return m_bKnown && time > m_text && std::all_of(time.cbegin(), time.cend(), ascii);
    }
    // A time after it, now stored, is the newest.
    void Raise(const QByteArray &time) { m_text = time; }

private:
    bool m_bKnown = false;
    QByteArray m_text;
};

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

// Each statement is prepared once, bound with the patient once, and bound
// again per record; the check sees rows inserted earlier in the chain. Bound
// by position: :PatientID and :MeasureTime come first in both (the check's
// second :MeasureTime is the same parameter).
bool SqliteDialect::StoreNewRecords(QSqlDatabase &db, DatabaseTransaction &transaction,
                                    const QVariant &key, MeasureRecords &records,
                                    uint &inserted) const
{
    const KindStatements sql = StatementsOf(records.Kind());
    // Qt's query object costs SQLite several times its own work per record.
    SqliteStatement newestOf(db, sql.newest);
    SqliteStatement check(db, sql.check);
    SqliteStatement insert(db, sql.insert);
    NewestTime newest;
    if (!newestOf.Bind(0, key) || !newest.Read(newestOf) || !check.Bind(0, key) ||
        !insert.Bind(0, key))
        return Abandon(transaction);
    while (records.Next()) {
        const QVariant time = records.Time();
        const QByteArray text = time.toString().toUtf8();
        const bool after = newest.IsAfter(text);
        if (!after) {
            const PreparedStatement::StepResult found =
                check.Bind(1, time) ? check.Step() : PreparedStatement::Error;
            check.Reset();
            if (found == PreparedStatement::Error)
                return Abandon(transaction);
            if (found == PreparedStatement::Row)
                continue; // a duplicate: that time is stored already
        }
        const bool stored = insert.Bind(1, time) && records.BindValues(insert) &&
                            insert.Step() == PreparedStatement::Done;
        insert.Reset();
        if (!stored)
            return Abandon(transaction);
        if (after)
            newest.Raise(text);
        ++inserted;
    }
    return true;
}

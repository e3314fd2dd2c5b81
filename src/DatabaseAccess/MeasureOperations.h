#pragma once

#include "DatabaseTransaction.h"
#include "MLog.h"
#include "MeasureTable.h"
#include "RecordChainPtr.h"
#include "StoreConnection.h"
#include "StoreQueries.h"

#include <QUuid>

// The store's operations on record chains, the same for the three kinds.
namespace MeasureOperations {

template <typename Record>
bool StoreNewRecords(StoreConnection &connection, DatabaseTransaction &transaction,
                     const QVariant &key, const Record *chain, uint &inserted)
{
    ChainRecords<Record> records(chain);
    return connection.Dialect().StoreNewRecords(connection.db, transaction, key, records, inserted);
}

// Reads the patient's records in time order, inside the caller's transaction.
template <typename Record>
bool ReadRecords(StoreConnection &connection, const QVariant &key,
                 RecordChainBuilder<Record> &chain)
{
    using Table = MeasureTable<Record>;
    const std::unique_ptr<PreparedStatement> rows =
        connection.Dialect().Prepare(connection.db, Table::kTexts.select);
    if (!rows->IsValid() || !rows->Bind(0, key))
        return false;
    PreparedStatement::StepResult step;
    while ((step = rows->Step()) == PreparedStatement::Row) {
        Record *record = new Record();
        chain.Append(record);
        record->ID = rows->Value(kDataColID).toInt();
        record->MeasureTime = DatabaseValueCodec::DateTimeFromDb(rows->Value(kDataColMeasureTime));
        Table::ReadValues(*rows, *record);
    }
    return step == PreparedStatement::Done;
}

// Stores the chain's new records under the patient, or under the patient he
// was merged into; stored tells how many were new.
template <typename Record>
uint Insert(StoreConnection &connection, QUuid *id, Record *chain, uint &stored)
{
    stored = 0;
    using Table = MeasureTable<Record>;
    if (!id || id->isNull()) {
        MLOG(Table::kTexts.insertNullGuid);
        return Table::kTexts.insertCode;
    }
    if (!chain) {
        MLOG(Table::kTexts.noData);
        return DB_OK;
    }
    DatabaseTransaction transaction(connection, DatabaseTransaction::Immediate);
    QVariant key;
    uint inserted = 0;
    bool ok = transaction.IsBegun() && StoreQueries::ResolveAlias(connection, *id, key) &&
              StoreNewRecords(connection, transaction, key, chain, inserted);
    // Marking the patient belongs to the same import; a failure there does
    // not undo the records.
    if (ok && inserted > 0)
        StoreQueries::MarkPatientUpdated(connection, key);
    ok = ok && transaction.Commit();
    if (!ok) {
        transaction.Rollback();
        MLOG(Table::kTexts.insertFailed);
        return Table::kTexts.insertCode;
    }
    stored = inserted;
    return DB_OK;
}

template <typename Record> uint Get(StoreConnection &connection, QUuid *id, Record **result)
{
    using Table = MeasureTable<Record>;
    if (result)
        *result = nullptr;
    if (!id || id->isNull()) {
        MLOG(Table::kTexts.getNullGuid);
        return Table::kTexts.getCode;
    }
    RecordChainBuilder<Record> chain;
    DatabaseTransaction transaction(connection, DatabaseTransaction::Deferred);
    const bool ok = result && transaction.IsBegun() &&
                    ReadRecords(connection, connection.Key(*id), chain) && transaction.Commit();
    if (!ok) {
        MLOG(Table::kTexts.getFailed);
        return Table::kTexts.getCode;
    }
    *result = chain.Release();
    return DB_OK;
}

// Moves the removed patient's records of one kind to the remaining patient,
// skipping times the remaining patient already has.
template <typename Record>
bool Move(StoreConnection &connection, DatabaseTransaction &transaction, const QVariant &remaining,
          const QVariant &removed, uint &inserted)
{
    RecordChainBuilder<Record> chain;
    if (!ReadRecords(connection, removed, chain))
        return false;
    RecordChainPtr<Record> records(chain.Release());
    return !records || StoreNewRecords(connection, transaction, remaining, records.get(), inserted);
}

} // namespace MeasureOperations

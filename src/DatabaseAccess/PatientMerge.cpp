#include "PatientMerge.h"

#include "DatabaseStatements.h"
#include "MLog.h"
#include "MeasureOperations.h"
#include "MergeKeys.h"
#include "PatientRowCodec.h"

#include <QStringList>

using namespace StoreQueries;

namespace {

using Codec = PatientRowCodec;

void ReadCompletePatient(const QSqlQuery &query, STU_DB_PATIENT_LIST &patient)
{
    for (int column = Codec::ColPatientID; column < Codec::ColumnCount; ++column)
        Codec::FromDb(patient, column, query.value(column));
}

// Reads the patient's row into the record; false when he is not stored.
bool ReadRow(StoreConnection &c, const QVariant &key, STU_DB_PATIENT_LIST &patient)
{
    QSqlQuery query = MakeQuery(c);
    const bool found = ExecWithId(query, kSqlSelectPatientById, ":id", key) && query.next();
    if (found)
        ReadCompletePatient(query, patient);
    return RowsReadCompletely(query) && found;
}

// Not given: empty text, 0, or the combo boxes' index 0.
bool IsEmpty(const QVariant &value)
{
    return value.typeId() == QMetaType::QString ? value.toString().isEmpty()
                                                : value.toDouble() == 0;
}

// The remaining patient takes the removed one's details where his own are
// not given; where both have one, his own stays. False when the remaining
// patient is not stored.
bool FillEmptyDetails(StoreConnection &c, const QVariant &remaining, const QVariant &removed)
{
    STU_DB_PATIENT_LIST kept, gone;
    if (!ReadRow(c, remaining, kept))
        return false;
    if (!ReadRow(c, removed, gone))
        return true;
    QStringList assignments;
    QList<int> columns;
    for (int column = Codec::ColDeviceSN; column <= Codec::ColAddress; ++column) {
        if (IsEmpty(Codec::ToDb(kept, column)) && !IsEmpty(Codec::ToDb(gone, column))) {
            columns.append(column);
            assignments.append(Codec::ColumnName(column) + " = " + Codec::Placeholder(column));
        }
    }
    if (columns.isEmpty())
        return true;
    QSqlQuery update = MakeQuery(c);
    if (!update.prepare("UPDATE Patient SET " + assignments.join(", ") +
                        " WHERE PatientID = :PatientID"))
        return false;
    for (int column : columns)
        update.bindValue(Codec::Placeholder(column), Codec::ToDb(gone, column));
    update.bindValue(QStringLiteral(":PatientID"), remaining);
    return update.exec();
}

} // namespace

namespace PatientMerge {

uint FindCandidates(StoreConnection &connection, uint keyBits, STU_DB_PATIENT_LIST *patient,
                    STU_DB_PATIENT_LIST **result)
{
    if (result)
        *result = nullptr;
    if (!patient || patient->PatientID.isNull()) {
        MLOG("SearchPatientToMerge that GUID is null.");
        return DB_ERR_SEARCH_TO_MERGE;
    }
    // Two empty values are no match: only keys the patient has a value for
    // count, and with none of the asked ones left nobody is alike.
    const uint valuedBits = MergeKeysWithValues(keyBits, *patient);
    if (keyBits != 0 && valuedBits == 0)
        return DB_OK;
    keyBits = valuedBits;
    // Bit i asks for equality in table column i + 1 (DeviceSN ... Address).
    QList<int> keyColumns;
    QString sql = QLatin1String(kSqlSelectMergeCandidates);
    for (int column = Codec::ColDeviceSN; column <= Codec::ColAddress; ++column) {
        if (keyBits & (1u << (column - 1))) {
            keyColumns.append(column);
            sql += QStringLiteral("AND %1 = %2 ")
                       .arg(Codec::ColumnName(column), Codec::Placeholder(column));
        }
    }
    RecordChainBuilder<STU_DB_PATIENT_LIST> chain;
    DatabaseTransaction transaction(connection, DatabaseTransaction::Deferred);
    QSqlQuery query = MakeQuery(connection);
    bool ok = result && transaction.IsBegun() && query.prepare(sql);
    if (ok) {
        BindPatientColumns(query, connection, *patient, Codec::ColPatientID, Codec::ColPatientID);
        for (int column : keyColumns)
            BindPatientColumns(query, connection, *patient, column, column);
        ok = query.exec();
    }
    while (ok && query.next()) {
        STU_DB_PATIENT_LIST *candidate = new STU_DB_PATIENT_LIST();
        chain.Append(candidate);
        ReadCompletePatient(query, *candidate);
    }
    ok = ok && RowsReadCompletely(query) && transaction.Commit();
    if (!ok) {
        MLOG("Search Patient to merge failed.");
        return DB_ERR_SEARCH_TO_MERGE;
    }
    *result = chain.Release();
    return DB_OK;
}

bool Merge(StoreConnection &c, const QUuid &remainingId, const QUuid &removedId)
{
    using namespace MeasureOperations;
    const QVariant remaining = c.Key(remainingId), removed = c.Key(removedId);
    // One transaction: the removed patient goes only together with the move of
    // his records, so a failure keeps both patients as they were. Merging a
    // patient into himself, or into one not stored, would lose his records.
    // No detail of the removed patient is lost, nor his UUID: a later import
    // of him goes to the remaining patient.
    if (remaining == removed)
        return false;
    DatabaseTransaction transaction(c, DatabaseTransaction::Immediate);
    uint inserted = 0;
    bool ok = transaction.IsBegun() && FillEmptyDetails(c, remaining, removed) &&
              Move<STU_DB_NIBP_DATA_LIST>(c, transaction, remaining, removed, inserted) &&
              Move<STU_DB_SPO2_DATA_LIST>(c, transaction, remaining, removed, inserted) &&
              Move<STU_DB_TEMP_DATA_LIST>(c, transaction, remaining, removed, inserted);
    if (ok && inserted > 0)
        ok = MarkPatientUpdated(c, remaining);
    ok = ok && AddAliases(c, remaining, removed);
    ok = ok && DeletePatientRows(c, removed) && transaction.Commit();
    if (!ok)
        transaction.Rollback();
    return ok;
}

} // namespace PatientMerge

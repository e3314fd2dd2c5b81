#pragma once

#include "DatabaseRecords.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

class StoreConnection;

// The statements the store's operations share, each run inside the caller's
// transaction; false when a statement failed.
namespace StoreQueries {

QSqlQuery MakeQuery(StoreConnection &connection);
bool ExecWithId(QSqlQuery &query, const char *sql, const char *placeholder, const QVariant &key);
// After the last next(): whether the rows ended rather than broke off. Also
// finishes the query so that the transaction can end.
bool RowsReadCompletely(QSqlQuery &query);
// Binds the patient's columns first to last (PatientID as the key).
void BindPatientColumns(QSqlQuery &query, const StoreConnection &connection,
                        const STU_DB_PATIENT_LIST &patient, int first, int last);

// The patient's row, his records of every kind and the aliases naming him.
bool DeletePatientRows(StoreConnection &connection, const QVariant &key);
bool UpdateLastUpdateTimeRow(StoreConnection &connection, const QVariant &key,
                             const QDateTime &time);
bool UpdateReadFlagRow(StoreConnection &connection, const QVariant &key, bool read);
// New measurements make the patient unread and move his last update to now.
bool MarkPatientUpdated(StoreConnection &connection, const QVariant &key);

// Reads the record counts and the newest measure time that a brief query
// gives from the column first on.
void ReadRecordTally(STU_DB_PATIENT_LIST &patient, const QVariant &nibp, const QVariant &spo2,
                     const QVariant &temp, const QVariant &newest);

// The patient whose records the given UUID's records are: the one a merged
// patient was merged into, else the UUID itself.
bool ResolveAlias(StoreConnection &connection, const QUuid &id, QVariant &key);
// Keeps the removed patient's UUID, and the UUIDs merged into him before,
// as aliases of the remaining patient.
bool AddAliases(StoreConnection &connection, const QVariant &remaining, const QVariant &removed);

} // namespace StoreQueries

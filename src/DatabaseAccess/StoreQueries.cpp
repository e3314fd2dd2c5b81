#include "StoreQueries.h"

#include "DatabaseStatements.h"
#include "DatabaseValueCodec.h"
#include "PatientRowCodec.h"
#include "StoreConnection.h"

#include <QSqlError>

namespace StoreQueries {

QSqlQuery MakeQuery(StoreConnection &connection)
{
    QSqlQuery query(connection.db);
    query.setForwardOnly(true);
    return query;
}

bool ExecWithId(QSqlQuery &query, const char *sql, const char *placeholder, const QVariant &key)
{
    if (!query.prepare(QLatin1String(sql)))
        return false;
    query.bindValue(QLatin1String(placeholder), key);
    return query.exec();
}

bool RowsReadCompletely(QSqlQuery &query)
{
    const bool complete = !query.lastError().isValid();
    query.finish();
    return complete;
}

void BindPatientColumns(QSqlQuery &query, const StoreConnection &connection,
                        const STU_DB_PATIENT_LIST &patient, int first, int last)
{
    using Codec = PatientRowCodec;
    for (int column = first; column <= last; ++column) {
        query.bindValue(Codec::Placeholder(column), column == Codec::ColPatientID
                                                        ? connection.Key(patient.PatientID)
                                                        : Codec::ToDb(patient, column));
    }
}

bool DeletePatientRows(StoreConnection &connection, const QVariant &key)
{
    for (const char *sql : {kSqlDeletePatient, kSqlDeleteNibpData, kSqlDeleteSpo2Data,
                            kSqlDeleteTempData, kSqlAlias.deleteOfPatient}) {
        QSqlQuery query = MakeQuery(connection);
        if (!ExecWithId(query, sql, ":id", key))
            return false;
    }
    return true;
}

bool UpdateLastUpdateTimeRow(StoreConnection &connection, const QVariant &key,
                             const QDateTime &time)
{
    QSqlQuery query = MakeQuery(connection);
    if (!query.prepare(QLatin1String(kSqlUpdateLastImportTime)))
        return false;
    query.bindValue(QStringLiteral(":LastUpdateTime"), DatabaseValueCodec::DateTimeToDb(time));
    query.bindValue(QStringLiteral(":id"), key);
    return query.exec();
}

bool UpdateReadFlagRow(StoreConnection &connection, const QVariant &key, bool read)
{
    QSqlQuery query = MakeQuery(connection);
    if (!query.prepare(QLatin1String(kSqlUpdateReadFlag)))
        return false;
    query.bindValue(QStringLiteral(":ReadFlag"), read);
    query.bindValue(QStringLiteral(":id"), key);
    return query.exec();
}

bool MarkPatientUpdated(StoreConnection &connection, const QVariant &key)
{
    const bool timeOk =
        UpdateLastUpdateTimeRow(connection, key, DatabaseValueCodec::CurrentDateTime());
    const bool flagOk = UpdateReadFlagRow(connection, key, false);
    return timeOk && flagOk;
}

void ReadRecordTally(STU_DB_PATIENT_LIST &patient, const QVariant &nibp, const QVariant &spo2,
                     const QVariant &temp, const QVariant &newest)
{
    patient.NIBPCount = nibp.toUInt();
    patient.SPO2Count = spo2.toUInt();
    patient.TEMPCount = temp.toUInt();
    patient.NewestMeasureTime = DatabaseValueCodec::DateTimeFromDb(newest);
}

bool ResolveAlias(StoreConnection &connection, const QUuid &id, QVariant &key)
{
    key = connection.Key(id);
    QSqlQuery query = MakeQuery(connection);
    if (!ExecWithId(query, kSqlAlias.selectTarget, ":id", key))
        return false;
    if (query.next())
        key = connection.Key(DatabaseValueCodec::UuidFromDb(query.value(0)));
    return RowsReadCompletely(query);
}

bool AddAliases(StoreConnection &connection, const QVariant &remaining, const QVariant &removed)
{
    QSqlQuery query = MakeQuery(connection);
    for (const char *sql : {kSqlAlias.move, kSqlAlias.insert}) {
        if (!query.prepare(QLatin1String(sql)))
            return false;
        query.bindValue(QStringLiteral(":PatientID"), remaining);
        query.bindValue(QStringLiteral(":AliasID"), removed);
        if (!query.exec())
            return false;
    }
    return true;
}

} // namespace StoreQueries

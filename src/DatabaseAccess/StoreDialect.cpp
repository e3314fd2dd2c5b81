#include "StoreDialect.h"

#include "DatabaseStatements.h"
#include "DatabaseValueCodec.h"
#include "PostgresStatements.h"
#include "QueryStatement.h"
#include "SqliteStatement.h"

namespace {

const StoreDialect::SchemaPart kSqliteTables[] = {
    {"Patient", {kSqlCreatePatientTable, kSqlCreatePatientIndex}},
    {"NIBPData", {kSqlCreateNibpTable, kSqlCreateNibpIndex}},
    {"SPO2Data", {kSqlCreateSpo2Table, kSqlCreateSpo2Index}},
    {"TEMPData", {kSqlCreateTempTable, kSqlCreateTempIndex}},
};
const StoreDialect::SchemaPart kSqliteTimeIndexes[] = {
    {"NIBPTime_NIBPData", {kSqlCreateNibpTimeIndex, nullptr}},
    {"SPO2Time_SPO2Data", {kSqlCreateSpo2TimeIndex, nullptr}},
    {"TEMPTime_TEMPData", {kSqlCreateTempTimeIndex, nullptr}},
};
const StoreDialect::SchemaPart kPgTables[] = {
    {"Patient", {kPgCreatePatientTable, kPgCreatePatientIndex}},
    {"NIBPData", {kPgCreateNibpTable, kPgCreateNibpIndex}},
    {"SPO2Data", {kPgCreateSpo2Table, kPgCreateSpo2Index}},
    {"TEMPData", {kPgCreateTempTable, kPgCreateTempIndex}},
};

} // namespace

const StoreDialect &StoreDialect::Sqlite()
{
    static const StoreDialect dialect = {
        "QSQLITE", kSqliteTables, kSqliteTimeIndexes, 3, "SELECT name FROM sqlite_master",
        kSqlInsertPatient, kSqlInsertNibp, kSqlInsertSpo2, kSqlInsertTemp, kSqlSelectNibpAtTime,
        kSqlSelectSpo2AtTime, kSqlSelectTempAtTime,
        // The driver's own begin is a deferred one.
        "BEGIN IMMEDIATE", nullptr, true};
    return dialect;
}

const StoreDialect &StoreDialect::Postgres()
{
    static const StoreDialect dialect = {
        "QPSQL",       kPgTables,       nullptr,       0,       kPgSchemaNames, kPgInsertPatient,
        kPgInsertNibp, kPgInsertSpo2,   kPgInsertTemp, nullptr, nullptr,        nullptr,
        nullptr,       kPgNotifyChange, false};
    return dialect;
}

const StoreDialect &StoreDialect::Of(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String(Postgres().driverName) ? Postgres() : Sqlite();
}

QVariant StoreDialect::Key(const QUuid &id) const
{
    // SQLite files keep the braced text as bytes; the server has a UUID type.
    if (nativeSqlite)
        return DatabaseValueCodec::UuidToDb(id);
    return id.toString(QUuid::WithoutBraces);
}

std::unique_ptr<PreparedStatement> StoreDialect::Prepare(const QSqlDatabase &db,
                                                         const char *sql) const
{
    // Qt's query object costs SQLite several times its own work per record.
    if (nativeSqlite)
        return std::make_unique<SqliteStatement>(db, sql);
    return std::make_unique<QueryStatement>(db, sql);
}

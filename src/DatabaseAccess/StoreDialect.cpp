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

namespace {

StoreDialect MakeSqlite()
{
    StoreDialect d{};
    d.driverName = "QSQLITE";
    d.tables = kSqliteTables;
    d.timeIndexes = kSqliteTimeIndexes;
    d.timeIndexCount = 3;
    d.schemaNames = "SELECT name FROM sqlite_master";
    d.insertPatient = kSqlInsertPatient;
    d.insertNibp = kSqlInsertNibp;
    d.insertSpo2 = kSqlInsertSpo2;
    d.insertTemp = kSqlInsertTemp;
    d.checkNibp = kSqlSelectNibpAtTime;
    d.checkSpo2 = kSqlSelectSpo2AtTime;
    d.checkTemp = kSqlSelectTempAtTime;
    d.beginWrite = "BEGIN IMMEDIATE"; // the driver's own begin is a deferred one
    d.nativeSqlite = true;
    return d;
}

StoreDialect MakePostgres()
{
    StoreDialect d{};
    d.driverName = "QPSQL";
    d.tables = kPgTables;
    d.schemaNames = kPgSchemaNames;
    d.insertPatient = kPgInsertPatient;
    d.insertNibp = kPgInsertNibp;
    d.insertSpo2 = kPgInsertSpo2;
    d.insertTemp = kPgInsertTemp;
    d.notifyChange = kPgNotifyChange;
    d.chainInserts = true;
    return d;
}

} // namespace

const StoreDialect &StoreDialect::Sqlite()
{
    static const StoreDialect dialect = MakeSqlite();
    return dialect;
}

const StoreDialect &StoreDialect::Postgres()
{
    static const StoreDialect dialect = MakePostgres();
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

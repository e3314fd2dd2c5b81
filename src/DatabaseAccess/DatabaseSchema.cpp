#include "DatabaseSchema.h"

#include "DatabaseStatements.h"
#include "DatabaseTransaction.h"

#include <QSqlQuery>

#include <iterator>

DatabaseSchema::DatabaseSchema(QSqlDatabase &db) : m_db(db) {}

bool DatabaseSchema::Read()
{
    m_names.clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // Reading the schema is the first read of the file: a file that is no
    // database, or that another program holds locked, fails here.
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master"))) {
        m_error = query.lastError();
        return false;
    }
    while (query.next())
        m_names.insert(query.value(0).toString());
    m_error = query.lastError();
    return !m_error.isValid();
}

bool DatabaseSchema::HasNoTables() const
{
    for (const char *table : {"Patient", "NIBPData", "SPO2Data", "TEMPData"}) {
        if (m_names.contains(QLatin1String(table)))
            return false;
    }
    return true;
}

bool DatabaseSchema::AddMissingTables()
{
    static const Part tables[] = {
        {"Patient", {kSqlCreatePatientTable, kSqlCreatePatientIndex}},
        {"NIBPData", {kSqlCreateNibpTable, kSqlCreateNibpIndex}},
        {"SPO2Data", {kSqlCreateSpo2Table, kSqlCreateSpo2Index}},
        {"TEMPData", {kSqlCreateTempTable, kSqlCreateTempIndex}},
    };
    return AddMissing(tables, int(std::size(tables)));
}

bool DatabaseSchema::AddMissingTimeIndexes()
{
    static const Part indexes[] = {
        {"NIBPTime_NIBPData", {kSqlCreateNibpTimeIndex, nullptr}},
        {"SPO2Time_SPO2Data", {kSqlCreateSpo2TimeIndex, nullptr}},
        {"TEMPTime_TEMPData", {kSqlCreateTempTimeIndex, nullptr}},
    };
    return AddMissing(indexes, int(std::size(indexes)));
}

bool DatabaseSchema::AddMissing(const Part *parts, int count)
{
    QList<const Part *> missing;
    for (int i = 0; i < count; ++i) {
        if (!m_names.contains(QLatin1String(parts[i].name)))
            missing.append(&parts[i]);
    }
    if (missing.isEmpty())
        return true;
    DatabaseTransaction transaction(m_db, DatabaseTransaction::Immediate);
    bool ok = transaction.IsBegun();
    for (const Part *part : missing) {
        for (const char *sql : part->statements) {
            QSqlQuery query(m_db);
            ok = ok && (!sql || query.exec(QLatin1String(sql)));
        }
    }
    ok = ok && transaction.Commit();
    if (ok) {
        for (const Part *part : missing)
            m_names.insert(QLatin1String(part->name));
    }
    return ok;
}

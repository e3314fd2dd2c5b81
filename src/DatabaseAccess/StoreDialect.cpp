#include "StoreDialect.h"

#include "DatabaseStatements.h"

#include <iterator>

StoreDialect::~StoreDialect() = default;
MeasureRecords::~MeasureRecords() = default;

QList<StoreDialect::SchemaPart> StoreDialect::Tables() const
{
    const QList<const char *> tables = CreateTables();
    const SchemaPart parts[] = {{"Patient", {tables.value(0), kSqlCreatePatientIndex}},
                                {"NIBPData", {tables.value(1), kSqlCreateNibpIndex}},
                                {"SPO2Data", {tables.value(2), kSqlCreateSpo2Index}},
                                {"TEMPData", {tables.value(3), kSqlCreateTempIndex}},
                                {"PatientAlias", {tables.value(4), kSqlAlias.createIndex}},
                                {"PatientTally", CreateTally()}};
    return QList<SchemaPart>(std::begin(parts), std::end(parts));
}

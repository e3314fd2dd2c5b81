#pragma once

#include "PatientStore.h"

// Opens the patient database in the SQLite file "Data.db" of the settings'
// database directory, through Qt's "QSQLITE" driver on the connection
// "MyDBConnection": builds the schema and the demo data for a new or empty
// file, adds what an older file lacks, and tells in plain words what is
// wrong with a file that cannot be used. The destructor closes it.
class DatabaseAccessSQLite : public PatientStore
{
public:
    DatabaseAccessSQLite();

private:
    uint OpenDatabase();
    uint PrepareFileSchema(const QString &filePath, bool isNewFile);
};

#include "SqliteLibrary.h"

#include <sqlite3.h>

void SqliteLibrary::Configure()
{
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

#pragma once

// Settings of the SQLite library itself, shared by every connection of the
// process.
class SqliteLibrary
{
public:
    // Turns off SQLite's count of the memory it holds: the count takes a
    // process-wide lock at every allocation, and an import allocates several
    // times per record. Call first in main, before any connection is opened;
    // later it changes nothing.
    static void Configure();
};

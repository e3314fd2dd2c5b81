#pragma once

// The C library works out the local offset of every time the program reads
// from its records and, while TZ is not set, looks at the system's zone file
// again on each of them: reading a list of 100,000 patients or a patient of
// 300,000 records spent most of its time there.
class LocalTimeZone
{
public:
    // Names the system's zone file in TZ, unless TZ is set already, so that it
    // is read once. A change of the system's zone shows at the next start.
    // Call first in main, before any other thread runs.
    static void Pin();
};

#pragma once

// Why the monitor's port could not be opened, in this program's own terms.
// The serial library's error is mapped to one of these where the port is
// opened; the log keeps the library's own words.
enum ComOpenError : int
{
    COM_OPEN_OK = 0,
    COM_OPEN_NOT_FOUND = 1,     // no device at the port's path (unplugged meanwhile)
    COM_OPEN_ACCESS_DENIED = 2, // no permission, or another program holds the port
    COM_OPEN_SETUP_FAILED = 3,  // opened, but the line settings were refused
    COM_OPEN_FAILED = 4,        // any other reason
};

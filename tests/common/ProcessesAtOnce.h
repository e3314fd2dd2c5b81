#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A part of a test run by other processes at the same moment, as other
// programs on other workstations would. The test program starts copies of
// itself with the part's name in their environment; its main() runs that
// part instead of the tests. Each copy prepares, says it is ready and waits;
// all are let go together once every one is ready.
class ProcessesAtOnce
{
public:
    // Starts one copy per argument list, lets them go together and waits for
    // their end: what each wrote to its standard output after its ready, or
    // an empty text for a copy that did not end well.
    static QStringList Run(const QString &part, const QList<QStringList> &arguments);

    // In a copy: the part it was started for; empty in the test run itself.
    static QString Part();
    // In a copy: tells the test run it is ready and waits to be let go.
    static void ReadyAndWait();
};

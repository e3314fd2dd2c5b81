#pragma once

#include <QSqlDatabase>
#include <QString>

// Another program's connection to a database file, holding the lock its BEGIN
// takes while it lives: "BEGIN IMMEDIATE" writes, "BEGIN EXCLUSIVE" keeps
// every other connection out, readers included.
class OtherProgramLock
{
public:
    OtherProgramLock(const QString &file, const char *begin);
    ~OtherProgramLock();
    OtherProgramLock(const OtherProgramLock &) = delete;
    OtherProgramLock &operator=(const OtherProgramLock &) = delete;

    bool Holds() const { return m_bHolds; }

private:
    QSqlDatabase m_db;
    bool m_bHolds = false;
};

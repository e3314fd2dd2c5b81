#pragma once

#include <QUuid>

class StoreConnection;

// One transaction on the store's connection. Begins on construction;
// whatever has not been committed when the object goes away is rolled back,
// so every path out of an operation (an early return or an exception
// included) ends it. Inside a shared transaction it is a savepoint: a
// failure undoes this operation's work only.
class DatabaseTransaction
{
public:
    enum Mode
    {
        // For operations that only read: no lock is taken before the first read.
        Deferred,
        // For operations that write: the write lock is taken at the start, so
        // that a writer in another process is waited for (up to the busy
        // timeout). A deferred transaction that has read already cannot wait
        // for that lock and fails at once.
        Immediate
    };

    DatabaseTransaction(StoreConnection &connection, Mode mode);
    ~DatabaseTransaction();
    DatabaseTransaction(const DatabaseTransaction &) = delete;
    DatabaseTransaction &operator=(const DatabaseTransaction &) = delete;

    // Whether beginning the transaction succeeded.
    bool IsBegun() const { return m_bBegun; }
    // Commits (a writing one tells the other workstations, where the
    // database has listeners); false when nothing was begun or the commit
    // failed, in which case the transaction is still rolled back later.
    bool Commit();
    // Rolls back now if still open.
    void Rollback();
    // The transaction changes this one patient only: the other workstations
    // are told which.
    void NameChangedPatient(const QUuid &id) { m_changedPatient = id; }

private:
    bool Notify();

    StoreConnection &m_connection;
    bool m_bBegun = false;
    bool m_bOpen = false;
    bool m_bSavepoint = false;
    bool m_bNotify = false;
    QUuid m_changedPatient;
};

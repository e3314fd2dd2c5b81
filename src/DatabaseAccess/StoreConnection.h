#pragma once

#include "StoreDialect.h"

#include <QSqlDatabase>

#include <memory>

// The store's connection together with its kind of database, and the one
// transaction that several work items may share (see DatabaseTransaction).
class StoreConnection
{
public:
    explicit StoreConnection(std::unique_ptr<StoreDialect> dialect);

    QSqlDatabase db;

    const StoreDialect &Dialect() const { return *m_pDialect; }
    // The patient key as the statements bind it.
    QVariant Key(const QUuid &id) const { return m_pDialect->Key(id); }

    // Opens the shared transaction, where the database allows one; the
    // transactions begun until EndShared() are savepoints inside it.
    bool BeginShared();
    bool IsShared() const { return m_bShared; }
    // Commits the shared transaction; false if it failed (all of it is lost).
    bool EndShared();

private:
    std::unique_ptr<StoreDialect> m_pDialect;
    bool m_bShared = false;
};

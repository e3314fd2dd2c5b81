#include "DatabaseTransaction.h"

#include <QSqlQuery>

namespace {

bool BeginImmediate(QSqlDatabase &db)
{
    // The driver's own begin is a deferred one; commit and rollback are the
    // same for both kinds.
    QSqlQuery query(db);
    return query.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

} // namespace

DatabaseTransaction::DatabaseTransaction(QSqlDatabase &db, Mode mode) : m_db(db)
{
    // A closed connection cannot begin anything; asking it would only warn.
    m_bBegun = m_db.isOpen() && (mode == Immediate ? BeginImmediate(m_db) : m_db.transaction());
    m_bOpen = m_bBegun;
}

DatabaseTransaction::~DatabaseTransaction()
{
    Rollback();
}

bool DatabaseTransaction::Commit()
{
    if (!m_bOpen)
        return false;
    if (!m_db.commit())
        return false;
    m_bOpen = false;
    return true;
}

void DatabaseTransaction::Rollback()
{
    if (!m_bOpen)
        return;
    m_db.rollback();
    m_bOpen = false;
}

#include "StoreConnection.h"

#include <QSqlQuery>

StoreConnection::StoreConnection(std::unique_ptr<StoreDialect> dialect)
    : m_pDialect(std::move(dialect))
{
}

bool StoreConnection::BeginShared()
{
    if (m_bShared)
        return true;
    if (!m_pDialect->SharesTransactions() || !db.isOpen())
        return false;
    const char *begin = m_pDialect->BeginWrite();
    m_bShared = begin ? QSqlQuery(db).exec(QLatin1String(begin)) : db.transaction();
    return m_bShared;
}

bool StoreConnection::EndShared()
{
    if (!m_bShared)
        return true;
    m_bShared = false;
    const char *notify = m_pDialect->NotifyChange();
    if ((!notify || QSqlQuery(db).exec(QLatin1String(notify))) && db.commit())
        return true;
    db.rollback();
    return false;
}

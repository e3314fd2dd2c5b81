#include "DatabaseTransaction.h"

#include "StoreDialect.h"

#include <QSqlQuery>

namespace {

bool Exec(QSqlDatabase &db, const char *sql)
{
    QSqlQuery query(db);
    return query.exec(QLatin1String(sql));
}

} // namespace

DatabaseTransaction::DatabaseTransaction(QSqlDatabase &db, Mode mode) : m_db(db)
{
    const StoreDialect &dialect = StoreDialect::Of(db);
    // Commit and rollback are the same for both kinds of begin.
    const char *begin = mode == Immediate ? dialect.beginWrite : nullptr;
    if (mode == Immediate)
        m_pNotify = dialect.notifyChange;
    // A closed connection cannot begin anything; asking it would only warn.
    m_bBegun = m_db.isOpen() && (begin ? Exec(m_db, begin) : m_db.transaction());
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
    // Delivered to the listeners only if the commit succeeds.
    if (m_pNotify && !Exec(m_db, m_pNotify))
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

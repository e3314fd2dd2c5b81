#include "DatabaseTransaction.h"

DatabaseTransaction::DatabaseTransaction(QSqlDatabase &db) : m_db(db)
{
    // A closed connection cannot begin anything; asking it would only warn.
    m_bBegun = m_db.isOpen() && m_db.transaction();
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

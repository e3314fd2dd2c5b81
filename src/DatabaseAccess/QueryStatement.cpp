#include "QueryStatement.h"

#include <QSqlError>

QueryStatement::QueryStatement(const QSqlDatabase &db, const char *sql) : m_query(db)
{
    m_query.setForwardOnly(true);
    m_bValid = db.isOpen() && m_query.prepare(QLatin1String(sql));
}

bool QueryStatement::Bind(int position, const QVariant &value)
{
    if (!m_bValid)
        return false;
    m_query.bindValue(position, value);
    return true;
}

// Runs the statement at the first step; a query's later steps go on to its
// next rows.
PreparedStatement::StepResult QueryStatement::Step()
{
    if (!m_bValid || (!m_bRan && !m_query.exec()))
        return Error;
    m_bRan = true;
    if (!m_query.isSelect())
        return Done;
    if (m_query.next())
        return Row;
    return m_query.lastError().isValid() ? Error : Done;
}

int QueryStatement::ChangedRows() const
{
    return m_query.numRowsAffected();
}

void QueryStatement::Reset()
{
    m_bRan = false;
    m_query.finish();
}

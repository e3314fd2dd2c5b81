#include "DatabaseTransaction.h"

#include "StoreConnection.h"

#include <QSqlQuery>

namespace {

bool Exec(QSqlDatabase &db, const char *sql)
{
    QSqlQuery query(db);
    return query.exec(QLatin1String(sql));
}

} // namespace

DatabaseTransaction::DatabaseTransaction(StoreConnection &connection, Mode mode)
    : m_connection(connection), m_bSavepoint(connection.IsShared())
{
    QSqlDatabase &db = m_connection.db;
    const StoreDialect &dialect = m_connection.Dialect();
    // Commit and rollback are the same for both kinds of begin.
    const char *begin = mode == Immediate ? dialect.BeginWrite() : nullptr;
    m_bNotify = mode == Immediate && dialect.NotifyChange();
    // A closed connection cannot begin anything; asking it would only warn.
    if (m_bSavepoint)
        m_bBegun = db.isOpen() && Exec(db, "SAVEPOINT work_item");
    else
        m_bBegun = db.isOpen() && (begin ? Exec(db, begin) : db.transaction());
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
    QSqlDatabase &db = m_connection.db;
    if (m_bSavepoint) {
        if (!Exec(db, "RELEASE work_item"))
            return false;
        m_bOpen = false;
        return true;
    }
    // Delivered to the listeners only if the commit succeeds.
    if (m_bNotify && !Notify())
        return false;
    if (!db.commit())
        return false;
    m_bOpen = false;
    return true;
}

bool DatabaseTransaction::Notify()
{
    const StoreDialect &dialect = m_connection.Dialect();
    if (m_changedPatient.isNull())
        return Exec(m_connection.db, dialect.NotifyChange());
    QSqlQuery query(m_connection.db);
    if (!query.prepare(QLatin1String(dialect.NotifyPatientChange())))
        return false;
    query.bindValue(QStringLiteral(":patient"), m_changedPatient.toString());
    return query.exec();
}

void DatabaseTransaction::Rollback()
{
    if (!m_bOpen)
        return;
    QSqlDatabase &db = m_connection.db;
    if (m_bSavepoint) {
        Exec(db, "ROLLBACK TO work_item");
        Exec(db, "RELEASE work_item");
    } else {
        db.rollback();
    }
    m_bOpen = false;
}

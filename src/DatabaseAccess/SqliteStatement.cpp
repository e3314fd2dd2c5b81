#include "SqliteStatement.h"

#include <QSqlDriver>

#include <sqlite3.h>

SqliteStatement::SqliteStatement(const QSqlDatabase &db, const char *sql)
{
    sqlite3 *handle = NativeHandle(db);
    if (handle && sqlite3_prepare_v2(handle, sql, -1, &m_pStatement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_pStatement);
        m_pStatement = nullptr;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_pStatement);
}

bool SqliteStatement::Bind(int position, const QVariant &value)
{
    if (!m_pStatement)
        return false;
    const int index = position + 1;
    int result = SQLITE_MISUSE;
    if (value.isNull()) {
        result = sqlite3_bind_null(m_pStatement, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            result = sqlite3_bind_blob(m_pStatement, index, bytes.constData(), int(bytes.size()),
                                       SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::Int:
        case QMetaType::Bool:
            result = sqlite3_bind_int(m_pStatement, index, value.toInt());
            break;
        case QMetaType::UInt:
        case QMetaType::LongLong:
            result = sqlite3_bind_int64(m_pStatement, index, value.toLongLong());
            break;
        case QMetaType::Float:
        case QMetaType::Double:
            result = sqlite3_bind_double(m_pStatement, index, value.toDouble());
            break;
        default: {
            const QString text = value.toString();
            result = sqlite3_bind_text16(m_pStatement, index, text.utf16(),
                                         int(text.size() * sizeof(QChar)), SQLITE_TRANSIENT);
            break;
        }
        }
    }
    return result == SQLITE_OK;
}

SqliteStatement::StepResult SqliteStatement::Step()
{
    if (!m_pStatement)
        return Error;
    switch (sqlite3_step(m_pStatement)) {
    case SQLITE_ROW:
        return Row;
    case SQLITE_DONE:
        return Done;
    default:
        return Error;
    }
}

int SqliteStatement::ChangedRows() const
{
    return m_pStatement ? sqlite3_changes(sqlite3_db_handle(m_pStatement)) : 0;
}

QVariant SqliteStatement::Value(int column) const
{
    if (!m_pStatement)
        return QVariant();
    switch (sqlite3_column_type(m_pStatement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_pStatement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_pStatement, column));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char *>(sqlite3_column_blob(m_pStatement, column)),
                       sqlite3_column_bytes(m_pStatement, column)));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf16(
            static_cast<const char16_t *>(sqlite3_column_text16(m_pStatement, column)),
            sqlite3_column_bytes16(m_pStatement, column) / int(sizeof(char16_t))));
    default:
        return QVariant();
    }
}

void SqliteStatement::Reset()
{
    if (!m_pStatement)
        return;
    sqlite3_reset(m_pStatement);
}

sqlite3 *SqliteStatement::NativeHandle(const QSqlDatabase &db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

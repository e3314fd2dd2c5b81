#pragma once

#include "PreparedStatement.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement on the native handle of a "QSQLITE" connection, for
// the loops that run a statement once per record: the Qt query object copies
// every column of every row into variants, which costs several times what
// SQLite itself needs. Values are bound exactly as the Qt driver binds them,
// so rows written either way are the same. Finalised on destruction.
class SqliteStatement : public PreparedStatement
{
public:
    SqliteStatement(const QSqlDatabase &db, const char *sql);
    ~SqliteStatement() override;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool IsValid() const override { return m_pStatement != nullptr; }
    // Binds by position (0 = first placeholder): byte arrays as blobs, text
    // as text, integers, floating point as double, null as NULL.
    bool Bind(int position, const QVariant &value) override;
    // Runs to the next row; afterwards Reset() before binding again.
    StepResult Step() override;
    int ChangedRows() const override;
    QVariant Value(int column) const override;
    void Reset() override;

    // The connection's sqlite3 handle, or null when it is not an open
    // SQLite connection.
    static sqlite3 *NativeHandle(const QSqlDatabase &db);

private:
    sqlite3_stmt *m_pStatement = nullptr;
};

#pragma once

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
class SqliteStatement
{
public:
    enum StepResult
    {
        Row,
        Done,
        Error
    };

    SqliteStatement(const QSqlDatabase &db, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool IsValid() const { return m_pStatement != nullptr; }
    // Binds by position (0 = first placeholder): byte arrays as blobs, text
    // as text, integers, floating point as double, null as NULL.
    bool Bind(int position, const QVariant &value);
    // Runs to the next row; afterwards Reset() before binding again.
    StepResult Step();
    void Reset();

    // The connection's sqlite3 handle, or null when it is not an open
    // SQLite connection.
    static sqlite3 *NativeHandle(const QSqlDatabase &db);

private:
    sqlite3_stmt *m_pStatement = nullptr;
};

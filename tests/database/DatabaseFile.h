#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// A second, independent connection to a database file, for looking at (or
// preparing) what the store has written.
class DatabaseFile
{
public:
    explicit DatabaseFile(const QString &path);
    ~DatabaseFile();
    DatabaseFile(const DatabaseFile &) = delete;
    DatabaseFile &operator=(const DatabaseFile &) = delete;

    // The first column of the first row, or an invalid value.
    QVariant Scalar(const QString &sql) const;
    qint64 Count(const QString &sql) const { return Scalar(sql).toLongLong(); }
    bool Exec(const QString &sql) const;

    // SHA-256 of the file's bytes, to see that nothing was written.
    static QByteArray Digest(const QString &path);

private:
    QString m_name;
};

#include "DatabaseFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlQuery>
#include <QUuid>

DatabaseFile::DatabaseFile(const QString &path)
    : m_name(QStringLiteral("check-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.open();
}

DatabaseFile::~DatabaseFile()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

QVariant DatabaseFile::Scalar(const QString &sql) const
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    if (!query.exec(sql) || !query.next())
        return QVariant();
    return query.value(0);
}

bool DatabaseFile::Exec(const QString &sql) const
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    return query.exec(sql);
}

QByteArray DatabaseFile::Digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

#include "OtherProgramLock.h"

#include <QSqlQuery>

namespace {
const QString kConnection = QStringLiteral("other program");
}

OtherProgramLock::OtherProgramLock(const QString &file, const char *begin)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
    m_db.setDatabaseName(file);
    m_bHolds = m_db.open() && QSqlQuery(m_db).exec(QLatin1String(begin));
}

OtherProgramLock::~OtherProgramLock()
{
    if (m_bHolds)
        QSqlQuery(m_db).exec(QStringLiteral("COMMIT"));
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(kConnection);
}

#include "OtherProgramLock.h"

#include <QSqlQuery>

namespace {
const char *const kConnection = "other program";
}

OtherProgramLock::OtherProgramLock(const QString &file, const char *begin)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
    m_db.setDatabaseName(file);
    m_bHolds = m_db.open() && QSqlQuery(m_db).exec(QLatin1String(begin));
}

OtherProgramLock::~OtherProgramLock()
{
    LetGo();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QLatin1String(kConnection));
}

void OtherProgramLock::LetGo()
{
    if (m_bHolds)
        QSqlQuery(m_db).exec(QStringLiteral("COMMIT"));
    m_bHolds = false;
    m_db.close();
}

#include "TestDatabase.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {

const QString kDatabase = QStringLiteral("vantrel_test");

} // namespace

void TestDatabase::AddKinds()
{
    QTest::addColumn<int>("kindValue");
    QTest::newRow("SQLite") << int(SQLite);
    QTest::newRow("PostgreSQL") << int(PostgreSQL);
}

TestDatabase::TestDatabase(Kind kind, bool outLog)
    : m_kind(kind), m_env(outLog, IsServer() ? PostgresServer::Shared().Uri(kDatabase) : QString())
{
    if (IsServer() && !PostgresServer::Shared().FreshDatabase(kDatabase))
        qWarning("The test database could not be created.");
}

QString TestDatabase::File() const
{
    return QDir(m_env.DatabaseDirectory()).filePath(QStringLiteral("Data.db"));
}

bool TestDatabase::Run(const QString &sql, const std::function<void(QSqlQuery &)> &read) const
{
    const QString name = QStringLiteral("check");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(IsServer() ? "QPSQL" : "QSQLITE", name);
        if (IsServer())
            PostgresServer::Shared().Configure(db, kDatabase);
        else
            db.setDatabaseName(File());
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(sql);
        if (ok)
            read(query);
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QVariant TestDatabase::Sql(const QString &sql) const
{
    QVariant result;
    Run(sql,
        [&result](QSqlQuery &query) { result = query.next() ? query.value(0) : QVariant(true); });
    return result;
}

QString TestDatabase::Key(const QUuid &id) const
{
    if (IsServer())
        return QStringLiteral("'%1'::uuid").arg(id.toString(QUuid::WithoutBraces));
    return QStringLiteral("CAST('%1' AS BLOB)").arg(id.toString());
}

QString TestDatabase::Snapshot() const
{
    QString text;
    for (const char *table : {"Patient", "NIBPData", "SPO2Data", "TEMPData"}) {
        const char *order = table[0] == 'P' ? "PatientID" : "ID";
        Run(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order),
            [&text](QSqlQuery &q) {
                while (q.next()) {
                    for (int i = 0; i < q.record().count(); ++i)
                        text += q.value(i).toString() + QLatin1Char('|');
                    text += QLatin1Char('\n');
                }
            });
    }
    return text;
}

bool TestDatabase::RefuseInserts(const char *table, bool refuse) const
{
    const QString name = QStringLiteral("refuse_%1").arg(QLatin1String(table));
    if (!refuse)
        return Sql(QStringLiteral("DROP TRIGGER %1").arg(name) +
                   (IsServer() ? QStringLiteral(" ON ") + QLatin1String(table) : QString()))
            .isValid();
    const QString sql =
        IsServer() ? "CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RAISE "
                     "EXCEPTION 'refused'; END$$; CREATE TRIGGER %1 BEFORE INSERT ON %2 FOR EACH "
                     "ROW EXECUTE FUNCTION %1()"
                   : "CREATE TRIGGER %1 BEFORE INSERT ON %2 BEGIN SELECT RAISE(ABORT, 'refused'); "
                     "END";
    return Sql(sql.arg(name, QLatin1String(table))).isValid();
}

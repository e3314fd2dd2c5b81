#include "ImportTestRig.h"

#include "ComPortPath.h"
#include "DatabaseRecords.h"
#include "MDatabaseService.h"

#include <QDir>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QVariant>

#include <cstdlib>

namespace {

const QString VERIFY_CONNECTION = QStringLiteral("import-test-verify");

QString TimeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

// Reads back the rows of one measurement table for a patient as sorted text
// lines "time|v1|v2...", values as the program stored them.
QStringList StoredRows(QSqlDatabase &db, const QString &table, const QStringList &columns,
                       const QUuid &uuid)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT MeasureTime, %1 FROM %2 WHERE PatientID = ?")
                      .arg(columns.join(QLatin1Char(',')), table));
    query.addBindValue(uuid.toByteArray());
    QStringList rows;
    if (!query.exec())
        return {QStringLiteral("query failed")};
    while (query.next()) {
        QString time = query.value(0).toString().left(19);
        QString row = time;
        for (int i = 1; i <= columns.size(); ++i) {
            const QVariant value = query.value(i);
            row += QLatin1Char('|') + (table == QLatin1String("TEMPData")
                                           ? QString::number(qRound(value.toDouble() * 10.0))
                                           : value.toString());
        }
        rows.append(row);
    }
    rows.sort();
    return rows;
}

QStringList ExpectedRows(const SimPatient &p, const QString &table)
{
    QStringList rows;
    if (table == QLatin1String("NIBPData")) {
        for (const SimNibpRecord &r : p.nibp)
            rows.append(QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(TimeText(r.time))
                            .arg(r.sys)
                            .arg(r.dia)
                            .arg(r.mean)
                            .arg(r.pr));
    } else if (table == QLatin1String("SPO2Data")) {
        for (const SimSpo2Record &r : p.spo2)
            rows.append(QStringLiteral("%1|%2|%3").arg(TimeText(r.time)).arg(r.spo2).arg(r.pr));
    } else {
        for (const SimTempRecord &r : p.temp)
            rows.append(QStringLiteral("%1|%2").arg(TimeText(r.time)).arg(r.tenths));
    }
    rows.sort();
    return rows;
}

bool IsSubsetWithoutDuplicates(const QStringList &stored, const QStringList &expected)
{
    const QSet<QString> storedSet(stored.begin(), stored.end());
    const QSet<QString> expectedSet(expected.begin(), expected.end());
    return storedSet.size() == stored.size() && expectedSet.contains(storedSet);
}

// No patient of this monitor is stored beyond those with a UUID.
bool CountPatientsOf(QSqlDatabase &db, const MonitorPatientSet &patients, const QSet<int> &partial,
                     QString &reason)
{
    int expected = 0;
    for (const SimPatient &p : patients.patients)
        expected += p.uuid.isNull() ? 0 : 1;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM Patient WHERE DeviceSN = ?"));
    query.addBindValue(patients.serialNumber);
    const int stored = query.exec() && query.next() ? query.value(0).toInt() : -1;
    const bool ok = partial.isEmpty() ? stored == expected : stored >= 0 && stored <= expected;
    if (!ok)
        reason = QStringLiteral("%1 patients stored, %2 expected").arg(stored).arg(expected);
    return ok;
}

} // namespace

ImportTestRig::ImportTestRig(bool withScan, bool outLog)
    : m_env(std::make_unique<TestEnvironment>(outLog)), m_withScan(withScan)
{
    StartService();
    m_control = std::make_unique<CommunicationProcessControl>();
    connect(m_control.get(), &CommunicationProcessControl::ImportDataFinished, this,
            [this] { ++importFinishedCount; });
    connect(m_control.get(), &CommunicationProcessControl::OnImportOnePatientDataFinished, this,
            [this](QUuid *uuid) {
                delete uuid;
                ++patientsFinished;
            });
    if (!withScan)
        m_control->InitializeWithoutScan();
}

ImportTestRig::~ImportTestRig()
{
    m_control.reset(); // closes the port and stops the worker and the scan
    if (m_link)
        m_link->HangUp();
    delete MDatabaseService::GetInstance();
    ComPortPath::SetPathResolver({});
    qunsetenv(ComPortPath::kDevelopmentPortVariable);
    QSqlDatabase::removeDatabase(VERIFY_CONNECTION);
}

void ImportTestRig::StartService()
{
    MDatabaseService *service = MDatabaseService::GetInstance();
    ConnectServiceSignals();
    service->Start();
}

void ImportTestRig::ConnectServiceSignals()
{
    MDatabaseService *service = MDatabaseService::GetInstance();
    // The receivers of these signals own what they bring.
    connect(service, &MDatabaseService::OnDatabaseInsertNewPatientSucc, this,
            [](STU_DB_PATIENT_LIST *patient) { delete patient; });
    connect(service, &MDatabaseService::OnImportPatientDataFinished, this, [this](QUuid *uuid) {
        delete uuid;
        ++patientsFinished;
    });
    connect(service, &MDatabaseService::OnDatabaseGetAllPatientBriefSucc, this,
            [this](STU_DB_PATIENT_LIST *chain) {
                FreeRecordChain(chain);
                ++m_briefAnswers;
            });
}

bool ImportTestRig::Plug(const MonitorPatientSet &patients, const MonitorFaultPlan &faults,
                         MonitorLink::Pacing pacing)
{
    if (m_link)
        m_link->HangUp();
    m_link.reset();
    m_engine = std::make_unique<MonitorEngine>(patients, faults);
    m_link = std::make_unique<MonitorLink>(*m_engine, pacing);
    QString error;
    if (!m_link->OpenPseudoTerminal(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    m_link->Start();
    const QString path = m_link->PortPath();
    QSignalSpy connected(m_control.get(), &CommunicationProcessControl::NewDeviceConnected);
    if (m_withScan) {
        qputenv(ComPortPath::kDevelopmentPortVariable, path.toLocal8Bit());
        if (!m_control->GetCommunication())
            m_control->Initialize();
        return connected.wait(waitMs);
    }
    ComPortPath::SetPathResolver([path](int com) { return com == PORT_NUMBER ? path : QString(); });
    auto *ports = new unsigned short[20]();
    ports[0] = PORT_NUMBER;
    m_control->DevicePlugInPlugOutStatusChanged(1, ports);
    return connected.size() == 1;
}

void ImportTestRig::Unplug()
{
    if (!m_withScan)
        m_control->DevicePlugInPlugOutStatusChanged(0, new unsigned short[20]());
    if (m_link)
        m_link->HangUp();
}

bool ImportTestRig::Import()
{
    QSignalSpy finished(m_control.get(), &CommunicationProcessControl::ImportDataFinished);
    m_control->StartImportData();
    return finished.wait(waitMs) && FlushDatabase();
}

bool ImportTestRig::FlushDatabase()
{
    // Work runs in posting order, so the answer to this one comes last.
    const int before = m_briefAnswers;
    emit m_control->NewDatabaseTask(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0);
    return QTest::qWaitFor([&] { return m_briefAnswers > before; }, waitMs);
}

int ImportTestRig::CountRows(const QString &table) const
{
    QSqlDatabase db = QSqlDatabase::contains(VERIFY_CONNECTION)
                          ? QSqlDatabase::database(VERIFY_CONNECTION)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), VERIFY_CONNECTION);
    db.setDatabaseName(QDir(m_env->DatabaseDirectory()).filePath(QStringLiteral("Data.db")));
    if (!db.open())
        return -1;
    QSqlQuery query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table), db);
    return query.next() ? query.value(0).toInt() : -1;
}

bool ImportTestRig::StoredExactly(const MonitorPatientSet &patients, const QSet<int> &partial,
                                  QString *why) const
{
    QString ignored;
    QString &reason = why ? *why : ignored;
    QSqlDatabase db = QSqlDatabase::contains(VERIFY_CONNECTION)
                          ? QSqlDatabase::database(VERIFY_CONNECTION)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), VERIFY_CONNECTION);
    db.setDatabaseName(QDir(m_env->DatabaseDirectory()).filePath(QStringLiteral("Data.db")));
    if (!db.open()) {
        reason = QStringLiteral("cannot open the database");
        return false;
    }
    const QList<QPair<QString, QStringList>> tables = {
        {QStringLiteral("NIBPData"),
         {QStringLiteral("SysValue"), QStringLiteral("DiaValue"), QStringLiteral("MeanValue"),
          QStringLiteral("PrValue")}},
        {QStringLiteral("SPO2Data"), {QStringLiteral("SPO2Value"), QStringLiteral("PrValue")}},
        {QStringLiteral("TEMPData"), {QStringLiteral("TempValue")}}};
    for (const SimPatient &p : patients.patients) {
        if (p.uuid.isNull())
            continue;
        QSqlQuery query(db);
        query.prepare(
            QStringLiteral("SELECT IdInDevice, DeviceSN FROM Patient WHERE PatientID = ?"));
        query.addBindValue(p.uuid.toByteArray());
        const bool found = query.exec() && query.next();
        if (!found && partial.contains(p.id))
            continue;
        if (!found || query.value(0).toLongLong() != static_cast<quint32>(p.id) ||
            query.value(1).toString() != patients.serialNumber) {
            reason = QStringLiteral("patient %1 missing or wrong").arg(p.id);
            return false;
        }
        for (const auto &table : tables) {
            const QStringList stored = StoredRows(db, table.first, table.second, p.uuid);
            const QStringList expected = ExpectedRows(p, table.first);
            const bool ok = partial.contains(p.id) ? IsSubsetWithoutDuplicates(stored, expected)
                                                   : stored == expected;
            if (!ok) {
                reason = QStringLiteral("patient %1, %2: %3 stored, %4 expected")
                             .arg(p.id)
                             .arg(table.first)
                             .arg(stored.size())
                             .arg(expected.size());
                return false;
            }
        }
    }
    return CountPatientsOf(db, patients, partial, reason);
}

#include "ImportTestRig.h"

#include "ComPortPath.h"
#include "DatabaseRecords.h"
#include "MDatabaseService.h"

#include <QDir>
#include <QEventLoop>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QTimer>

namespace {

using Cpc = CommunicationProcessControl;

const QString VERIFY_CONNECTION = QStringLiteral("import-test-verify");
constexpr unsigned short PORT_NUMBER = 7;
// Each measurement table with its values as the simulator keeps them.
const char *const TABLES[][2] = {{"NIBPData", "SysValue, DiaValue, MeanValue, PrValue"},
                                 {"SPO2Data", "SPO2Value, PrValue"},
                                 {"TEMPData", "CAST(ROUND(TempValue * 10) AS INTEGER)"}};

QStringList ExpectedLines(const SimPatient &p)
{
    const QString uuid = p.uuid.toString();
    QStringList lines = {QStringLiteral("%1|Patient|%2").arg(uuid).arg(quint32(p.id))};
    auto add = [&](const char *table, const QDateTime &time, std::initializer_list<int> values) {
        lines << uuid + '|' + table + '|' + time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        for (int value : values)
            lines.last() += QLatin1Char('|') + QString::number(value);
    };
    for (const SimNibpRecord &r : p.nibp)
        add("NIBPData", r.time, {r.sys, r.dia, r.mean, r.pr});
    for (const SimSpo2Record &r : p.spo2)
        add("SPO2Data", r.time, {r.spo2, r.pr});
    for (const SimTempRecord &r : p.temp)
        add("TEMPData", r.time, {r.tenths});
    return lines;
}

} // namespace

ImportTestRig::ImportTestRig(bool withScan, bool outLog)
    : m_env(std::make_unique<TestEnvironment>(outLog)), m_withScan(withScan)
{
    MDatabaseService *service = MDatabaseService::GetInstance();
    // The receivers of these signals own what they bring.
    auto patientFinished = [this](QUuid *uuid) {
        delete uuid;
        ++patientsFinished;
    };
    connect(service, &MDatabaseService::OnDatabaseInsertNewPatientSucc, this,
            [](STU_DB_PATIENT_LIST *patient) { delete patient; });
    connect(service, &MDatabaseService::OnImportPatientDataFinished, this, patientFinished);
    connect(service, &MDatabaseService::OnDatabaseGetAllPatientBriefSucc, this,
            [this](STU_DB_PATIENT_LIST *chain) {
                FreeRecordChain(chain);
                ++m_briefAnswers;
            });
    // Tests that touch the file need the service's thread to have made it first.
    bool opened = false;
    QObject context;
    connect(service, &MDatabaseService::OnDatabaseOpenResult, &context,
            [&opened] { opened = true; });
    service->Start();
    if (!QTest::qWaitFor([&opened] { return opened; }, WAIT_MS))
        qWarning("the database service did not open its store");
    m_control = std::make_unique<Cpc>();
    connect(m_control.get(), &Cpc::ImportDataFinished, this, [this] { ++importFinishedCount; });
    connect(m_control.get(), &Cpc::ImportDataStalled, this, [this] { ++stalledCount; });
    connect(m_control.get(), &Cpc::OnImportOnePatientDataFinished, this, patientFinished);
    if (!withScan)
        m_control->InitializeWithoutScan();
}

ImportTestRig::~ImportTestRig()
{
    m_control.reset(); // closes the port and stops the worker and the scan
    m_link.reset();    // hangs up
    delete MDatabaseService::GetInstance();
    ComPortPath::SetPathResolver({});
    qunsetenv(ComPortPath::kDevelopmentPortVariable);
    QSqlDatabase::removeDatabase(VERIFY_CONNECTION);
}

bool ImportTestRig::Plug(const MonitorPatientSet &patients, const MonitorFaultPlan &faults,
                         MonitorLink::Pacing pacing)
{
    m_link.reset(); // hangs up
    m_engine = std::make_unique<MonitorEngine>(patients, faults);
    m_link = std::make_unique<MonitorLink>(*m_engine, pacing);
    QString error;
    if (!m_link->OpenPseudoTerminal(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    m_link->Start();
    const QString path = m_link->PortPath();
    if (beforePlugIn)
        std::exchange(beforePlugIn, {})(path);
    QSignalSpy connected(m_control.get(), &Cpc::NewDeviceConnected);
    if (m_withScan) {
        qputenv(ComPortPath::kDevelopmentPortVariable, path.toLocal8Bit());
        if (!m_control->GetCommunication())
            m_control->Initialize();
        return connected.wait(waitMs);
    }
    ComPortPath::SetPathResolver([path](int com) { return com == PORT_NUMBER ? path : QString(); });
    auto *ports = new unsigned short[ComDeviceScanThread::kMaxPorts]();
    ports[0] = PORT_NUMBER;
    m_control->DevicePlugInPlugOutStatusChanged(1, ports);
    return connected.size() == 1;
}

bool ImportTestRig::Import()
{
    QSignalSpy finished(m_control.get(), &Cpc::ImportDataFinished);
    // An event loop that sleeps only while nothing is posted: a polling wait (qWaitFor naps
    // 10 ms between rounds) would hold up every answer. A stalled run ends the wait too.
    QEventLoop loop;
    connect(m_control.get(), &Cpc::ImportDataFinished, &loop, &QEventLoop::quit);
    connect(m_control.get(), &Cpc::ImportDataStalled, &loop, &QEventLoop::quit);
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    m_control->StartImportData();
    loop.exec();
    return !finished.isEmpty() && FlushDatabase();
}

bool ImportTestRig::FlushDatabase()
{
    // Work runs in posting order, so the answer to this one comes last.
    const int before = m_briefAnswers;
    emit m_control->NewDatabaseTask(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0);
    return QTest::qWaitFor([&] { return m_briefAnswers > before; }, waitMs);
}

QStringList ImportTestRig::Rows(const QString &sql, const QString &serialNumber) const
{
    QSqlDatabase db = QSqlDatabase::contains(VERIFY_CONNECTION)
                          ? QSqlDatabase::database(VERIFY_CONNECTION)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), VERIFY_CONNECTION);
    db.setDatabaseName(QDir(m_env->DatabaseDirectory()).filePath(QStringLiteral("Data.db")));
    QSqlQuery query(db);
    if (!db.open() || !query.prepare(sql))
        return {QStringLiteral("cannot run ") + sql};
    if (!serialNumber.isNull())
        query.bindValue(QStringLiteral(":sn"), serialNumber);
    if (!query.exec())
        return {QStringLiteral("failed: ") + sql};
    QStringList rows;
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < query.record().count(); ++i)
            fields << query.value(i).toString();
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

bool ImportTestRig::StoredExactly(const MonitorPatientSet &patients, const QSet<int> &partial,
                                  QString *why) const
{
    // The patients of this monitor and their records, and every record without a patient.
    const QString sn = patients.serialNumber;
    QStringList stored = Rows(QStringLiteral("SELECT PatientID, 'Patient', IdInDevice FROM Patient "
                                             "WHERE DeviceSN = :sn"),
                              sn);
    for (const auto &table : TABLES)
        stored << Rows(QStringLiteral("SELECT t.PatientID, '%1', substr(t.MeasureTime, 1, 19), %2 "
                                      "FROM %1 t LEFT JOIN Patient p ON p.PatientID = t.PatientID "
                                      "WHERE p.DeviceSN = :sn OR p.PatientID IS NULL")
                           .arg(QLatin1String(table[0]), QLatin1String(table[1])),
                       sn);
    const QSet<QString> storedSet(stored.begin(), stored.end());
    QString reason = storedSet.size() == stored.size() ? QString() : QStringLiteral("duplicates");
    QSet<QString> expected;
    for (const SimPatient &p : patients.patients) {
        for (const QString &line : p.uuid.isNull() ? QStringList() : ExpectedLines(p)) {
            expected.insert(line);
            if (!partial.contains(p.id) && !storedSet.contains(line))
                reason = QStringLiteral("missing ") + line;
        }
    }
    for (const QString &line : stored)
        if (!expected.contains(line))
            reason = QStringLiteral("not expected ") + line;
    if (why)
        *why = reason;
    else if (!reason.isEmpty())
        qWarning("%s", qPrintable(reason));
    return reason.isEmpty();
}

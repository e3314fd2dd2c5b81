// Imports from the simulated monitor over a pseudo-terminal into a SQLite file.

#include "ComOpenError.h"
#include "ImportTestRig.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

namespace {

using Cpc = CommunicationProcessControl;

MonitorPatientSet SmallSet(int patients, int records, std::uint32_t seed)
{
    GenerationOptions options{patients, records, records};
    options.seed = seed;
    return MonitorPatientSet::Generate(options);
}

// The requests the monitor handled, as "cmd:patient" words.
QString Sequence(MonitorEngine &engine)
{
    QStringList parts;
    for (const auto &r : engine.Requests())
        parts << QStringLiteral("%1:%2").arg(r.cmd, 4, 16, QLatin1Char('0')).arg(r.patientId);
    return parts.join(QLatin1Char(' '));
}

constexpr auto PerPackage = MonitorDelivery::PerPackage;
const char *const CRC_LOG = "iCRCSend != iCRCCalc";

// A line condition or fault (none where the selector is empty) and what follows it.
struct FaultRow
{
    const char *name;
    MonitorDelivery delivery;
    int records;
    MonitorFault fault;
    const char *selector;
    const char *logText;
    int lateId;   // stored by the second import only, or -2
    int finished; // patients finished by the first import, or -1
};
const FaultRow FAULT_ROWS[] = {
    {"byte by byte", MonitorDelivery::ByteByByte, 2, {}, "", "", -2, 4},
    {"burst", MonitorDelivery::Burst, 1000, {}, "", "", -2, -1},
    {"short uuid", PerPackage, 5, MonitorFault::ShortUuid, "uuid:1",
     "ParseUuidDataPkg, incomplete uuid answer", 1, 3},
    {"crc error in list", PerPackage, 20, MonitorFault::CrcError, "list", CRC_LOG, -2, 4},
    {"crc error before the last package", PerPackage, 600, MonitorFault::CrcErrorFirst, "nibp:1",
     CRC_LOG, -2, -1},
    {"error 0x0F00", PerPackage, 20, MonitorFault::UnknownError, "spo2:0",
     "Received Unknown Error Package In the Device!", -2, 4},
    {"error 0x0F01", PerPackage, 20, MonitorFault::CrcErrorReply, "temp:-1",
     "Received CRC Error Package In the Device!", -2, 4},
    {"silence once", PerPackage, 20, MonitorFault::Silence, "uuid:1",
     "No answer to request 0x0211 for patient 1", -2, 4},
    {"list in packages", PerPackage, 20, MonitorFault::SplitList, "list", "", -2, 4},
    {"stray byte", PerPackage, 20, MonitorFault::StrayByte, "temp:2", "", -2, 4},
    {"short temperature", PerPackage, 20, MonitorFault::ShortAnswer, "temp:0", "", 0, 4},
    {"answer crosses the repeat", PerPackage, 20, MonitorFault::Held, "uuid:1",
     "it answers an earlier request", -2, 3},
};

} // namespace

class ImportEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void fullImportAndRepeat();
    void faultsRiddenOut_data();
    void faultsRiddenOut();
    void stallStopsRun_data();
    void stallStopsRun();
    void restartAbandonsRun_data();
    void restartAbandonsRun();
    void unstoredRecordsFail();
    void portHeldElsewhere();
};

// Initialize() as the program calls it: the scan thread finds the simulator
// through VANTREL_MONITOR_PORT, notices it going away and another coming.
void ImportEndToEndTest::fullImportAndRepeat()
{
    ImportTestRig rig(true);
    MonitorPatientSet set = SmallSet(4, 30, 11);
    set.Find(2)->uuid = QUuid(); // nothing on the monitor for id 2
    set.Find(3)->temp.clear();   // no temperature records: finished by the controller
    MonitorFaultPlan faults;
    faults.packagePayload = 100; // several packages per answer
    QVERIFY(rig.Plug(set, faults));
    QSignalSpy progress(&rig.Control(), &Cpc::ImportProgressChanged);
    QSignalSpy summary(&rig.Control(), &Cpc::ImportSummaryReady);
    QVERIFY(rig.Import());
    QCOMPARE(rig.importFinishedCount, 1);
    QVERIFY(rig.StoredExactly(set));
    // The status text follows the run, a few times a second, and is empty after it.
    QVERIFY(progress.size() >= 2 && progress.size() < 20);
    QVERIFY(progress.first().at(0).toString().startsWith("Importing"));
    QCOMPARE(progress.last().at(0).toString(), QString());
    // Each temperature package of -1, 0 and 1 (three each) is reported by the
    // service; patient 3, without temperature records, by the controller.
    QCOMPARE(rig.patientsFinished, 10);
    uint patients = 0, records = 0; // those with a UUID, and all their records
    for (const SimPatient &patient : set.patients)
        if (!patient.uuid.isNull()) {
            ++patients;
            records += uint(patient.nibp.size() + patient.spo2.size() + patient.temp.size());
        }
    QCOMPARE(summary.size(), 1);
    QCOMPARE(summary.first(), (QList<QVariant>{patients, records, 0u, 0u, 0u}));
    QVERIFY(rig.Import()); // the same monitor again: nothing new
    QVERIFY(rig.StoredExactly(set));
    QCOMPARE(summary.size(), 2); // one per run, all stored
    QCOMPARE(summary.last(), (QList<QVariant>{0u, 0u, records, 0u, 0u}));

    rig.Link().Stop();
    QString once = "0200:0 0202:0 0210:0";
    for (int id : {-1, 0, 1, 2, 3})
        once += QStringLiteral(" 0211:%1").arg(id) +
                (id == 2 ? QString() : QStringLiteral(" 020d:%1 020e:%1 020f:%1").arg(id));
    QCOMPARE(Sequence(rig.Engine()), once + " " + once);
    QSignalSpy disconnected(&rig.Control(), &Cpc::DeviceDisconnected);
    rig.Link().HangUp();
    QVERIFY(disconnected.wait(ImportTestRig::WAIT_MS));

    // Another monitor, empty: the run ends after asking for its own UUID.
    MonitorPatientSet empty = SmallSet(0, 3, 5);
    empty.Find(-1)->uuid = QUuid();
    QVERIFY(rig.Plug(empty));
    QVERIFY(rig.Import());
    QVERIFY(rig.StoredExactly(empty) && rig.StoredExactly(set));
    rig.Link().Stop();
    QCOMPARE(Sequence(rig.Engine()), QString("0200:0 0202:0 0210:0 0211:-1"));
}

void ImportEndToEndTest::faultsRiddenOut_data()
{
    QTest::addColumn<int>("row");
    for (const FaultRow &row : FAULT_ROWS)
        QTest::newRow(row.name) << int(&row - FAULT_ROWS);
}

// Faults the run rides out: damaged answers are asked for again, all is stored once,
// one success is told; a second import adds only what the first could not have.
void ImportEndToEndTest::faultsRiddenOut()
{
    QFETCH(int, row);
    const FaultRow &r = FAULT_ROWS[row];
    ImportTestRig rig;
    rig.Control().SetAnswerTimeoutMs(300);
    MonitorPatientSet set = SmallSet(3, r.records, 31);
    // A patient the monitor has nothing for is followed by a request with the
    // same command: the late second answer must not be taken for it.
    if (r.fault == MonitorFault::Held && *r.selector)
        set.Find(1)->uuid = QUuid();
    MonitorFaultPlan faults;
    faults.delivery = r.delivery;
    faults.noise = !*r.selector && r.delivery != MonitorDelivery::Burst;
    QString error;
    QVERIFY(!*r.selector || faults.AddRule(r.fault, r.selector, &error));
    QVERIFY(rig.Plug(set, faults, MonitorLink::Pacing{300}));
    QVERIFY(rig.Import());
    QVERIFY(rig.Env().LogText().contains(r.logText));
    QVERIFY(rig.StoredExactly(set, r.lateId == -2 ? QSet<int>() : QSet<int>{r.lateId}));
    QTest::qWait(50); // a stray byte arrives, no second box follows
    QCOMPARE(rig.importFinishedCount, 1);
    // Each patient with a UUID once, a short answer too.
    if (r.finished >= 0)
        QCOMPARE(rig.patientsFinished, r.finished);
    QVERIFY(rig.Import());
    QVERIFY(rig.StoredExactly(set));
}

void ImportEndToEndTest::stallStopsRun_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("selector");
    QTest::newRow("crc error every try") << int(MonitorFault::CrcError) << "nibp:1*3";
    QTest::newRow("silence every try") << int(MonitorFault::Silence) << "uuid:1*3";
    QTest::newRow("hang-up mid-answer") << int(MonitorFault::HangUp) << "nibp:1";
}

// A monitor gone silent: one stall report, no success; a new import completes it.
void ImportEndToEndTest::stallStopsRun()
{
    QFETCH(int, fault);
    QFETCH(QString, selector);
    ImportTestRig rig;
    rig.Control().SetAnswerTimeoutMs(300);
    const MonitorPatientSet set = SmallSet(3, 600, 31); // NIBP in three packages
    MonitorFaultPlan faults;
    QString error;
    QVERIFY(faults.AddRule(static_cast<MonitorFault>(fault), selector, &error));
    QVERIFY(rig.Plug(set, faults));
    rig.Control().StartImportData();
    const bool hangUp = fault == int(MonitorFault::HangUp);
    if (hangUp) {
        QTRY_VERIFY_WITH_TIMEOUT(rig.Link().HasHungUp(), ImportTestRig::WAIT_MS);
        rig.Control().DevicePlugInPlugOutStatusChanged(
            0, new unsigned short[ComDeviceScanThread::kMaxPorts]());
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.stalledCount, 1, ImportTestRig::WAIT_MS);
    QVERIFY(!rig.Control().IsImportRunning());
    QVERIFY(rig.FlushDatabase());
    QCOMPARE(rig.importFinishedCount, 0);
    QVERIFY(rig.StoredExactly(set, {1, 2}));
    QVERIFY(!hangUp || rig.Plug(set));
    QVERIFY(rig.Import());
    QVERIFY(rig.StoredExactly(set));
    QCOMPARE(rig.stalledCount, 1);
}

void ImportEndToEndTest::restartAbandonsRun_data()
{
    QTest::addColumn<int>("delayMs");
    for (int ms : {0, 13, 60, 200})
        QTest::addRow("%d ms", ms) << ms;
}

// Import pressed again mid-run: the old run's answers are dropped, all is stored once.
void ImportEndToEndTest::restartAbandonsRun()
{
    QFETCH(int, delayMs);
    ImportTestRig rig;
    const MonitorPatientSet set = SmallSet(6, 20, 41);
    QVERIFY(rig.Plug(set, {}, MonitorLink::Pacing{1000, true})); // at the line's rate
    rig.Control().StartImportData();
    QTest::qWait(delayMs);
    QVERIFY(rig.Import());
    QTest::qWait(100);
    QCOMPARE(rig.importFinishedCount, 1);
    QVERIFY(rig.StoredExactly(set));
    QVERIFY(!rig.Env().LogText().contains("guid is null"));
}

// Records the database cannot take: no success, and the count of the lost is told.
void ImportEndToEndTest::unstoredRecordsFail()
{
    ImportTestRig rig;
    const MonitorPatientSet set = SmallSet(3, 5, 7);
    QVERIFY(rig.Plug(set));
    QCOMPARE(rig.Rows("ALTER TABLE NIBPData RENAME TO Kept"), QStringList());
    QSignalSpy failed(&rig.Control(), &Cpc::ImportDataFailed);
    QSignalSpy summary(&rig.Control(), &Cpc::ImportSummaryReady);
    rig.Control().StartImportData();
    QVERIFY(failed.wait(ImportTestRig::WAIT_MS));
    QCOMPARE(failed.first(), (QList<QVariant>{0u, 4u * 5}));
    // The summary comes once, before the failure, with the same counts of the lost.
    QCOMPARE(summary.size(), 1);
    QCOMPARE(summary.first().mid(3), (QList<QVariant>{0u, 4u * 5}));
    QCOMPARE(rig.importFinishedCount, 0);
    QCOMPARE(rig.Rows("ALTER TABLE Kept RENAME TO NIBPData"), QStringList());
    QVERIFY(rig.Import());
    QVERIFY(rig.StoredExactly(set));
}

// A port another program holds is told at plug-in and at Import, which tries again.
void ImportEndToEndTest::portHeldElsewhere()
{
    ImportTestRig rig;
    const MonitorPatientSet set = SmallSet(1, 3, 3);
    QSignalSpy failed(&rig.Control(), &Cpc::DeviceOpenFailed);
    auto holder = std::make_unique<QSerialPort>();
    rig.beforePlugIn = [&](const QString &path) {
        holder->setPortName(path);
        QVERIFY(holder->open(QIODevice::ReadWrite));
    };
    QVERIFY(rig.Plug(set));
    QVERIFY(failed.wait(ImportTestRig::WAIT_MS));
    QCOMPARE(failed.last().at(0).toInt(), int(COM_OPEN_ACCESS_DENIED));
    rig.Control().StartImportData();
    QVERIFY(failed.wait(ImportTestRig::WAIT_MS));
    QVERIFY(!rig.Control().IsImportRunning());
    holder.reset();
    QVERIFY(rig.Import());
    QVERIFY(rig.StoredExactly(set));
}

QTEST_GUILESS_MAIN(ImportEndToEndTest)
#include "tst_ImportEndToEnd.moc"

// Imports from the simulated monitor over a real pseudo-terminal through the
// whole pipeline into a SQLite file, with and without line faults.

#include "ImportTestRig.h"

#include <QSignalSpy>
#include <QTest>

namespace {

MonitorPatientSet SmallSet(int patients, int records, std::uint32_t seed)
{
    GenerationOptions options;
    options.patientCount = patients;
    options.recordsPerKind = records;
    options.monitorRecords = records;
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

bool Stored(const ImportTestRig &rig, const MonitorPatientSet &set, const QSet<int> &partial = {})
{
    QString why;
    const bool ok = rig.StoredExactly(set, partial, &why);
    if (!ok)
        qWarning("%s", qPrintable(why));
    return ok;
}

} // namespace

class ImportEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void fullImportAndRepeat();
    void emptyListEndsAfterMonitorUuid();
    void deliveriesComplete_data();
    void deliveriesComplete();
    void faultsLeaveNoHarm_data();
    void faultsLeaveNoHarm();
};

// Initialize() as the program calls it: the scan thread finds the simulator
// through VANTREL_MONITOR_PORT, and notices it going away.
void ImportEndToEndTest::fullImportAndRepeat()
{
    ImportTestRig rig(true);
    MonitorPatientSet set = SmallSet(4, 30, 11);
    set.Find(2)->uuid = QUuid(); // nothing on the monitor for id 2
    set.Find(3)->temp.clear();   // no temperature records: finished by the controller
    MonitorFaultPlan faults;
    faults.packagePayload = 100; // several packages per answer
    QVERIFY(rig.Plug(set, faults));
    QVERIFY(rig.Import());
    QCOMPARE(rig.importFinishedCount, 1);
    QVERIFY(Stored(rig, set));
    // Each temperature package of -1, 0 and 1 (three each) is reported by the
    // service; patient 3, without temperature records, by the controller.
    QCOMPARE(rig.patientsFinished, 10);
    QVERIFY(rig.Import()); // the same monitor again: nothing new
    QVERIFY(Stored(rig, set));

    rig.Link().Stop();
    QString once = "0200:0 0202:0 0210:0";
    for (int id : {-1, 0, 1, 2, 3})
        once += QStringLiteral(" 0211:%1").arg(id) +
                (id == 2 ? QString() : QStringLiteral(" 020d:%1 020e:%1 020f:%1").arg(id));
    QCOMPARE(Sequence(rig.Engine()), once + " " + once);
    QCOMPARE(rig.Engine().BadRequestCount(), 0);
    QVERIFY(rig.Env().LogText().contains(set.serialNumber));
    QSignalSpy disconnected(&rig.Control(), &CommunicationProcessControl::DeviceDisconnected);
    rig.Link().HangUp();
    QVERIFY(disconnected.wait(ImportTestRig::WAIT_MS));
}

void ImportEndToEndTest::emptyListEndsAfterMonitorUuid()
{
    ImportTestRig rig;
    MonitorPatientSet set = SmallSet(0, 3, 5);
    set.Find(-1)->uuid = QUuid();
    QVERIFY(rig.Plug(set));
    QVERIFY(rig.Import());
    QVERIFY(Stored(rig, set)); // nothing
    rig.Link().Stop();
    QCOMPARE(Sequence(rig.Engine()), QString("0200:0 0202:0 0210:0 0211:-1"));
}

void ImportEndToEndTest::deliveriesComplete_data()
{
    QTest::addColumn<int>("delivery");
    QTest::addColumn<bool>("noise");
    QTest::addColumn<int>("patients");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("shortUuidId");
    QTest::newRow("noise and false starts")
        << int(MonitorDelivery::PerPackage) << true << 3 << 40 << -2;
    QTest::newRow("byte by byte") << int(MonitorDelivery::ByteByByte) << true << 1 << 2 << -2;
    QTest::newRow("burst") << int(MonitorDelivery::Burst) << false << 2 << 1000 << -2;
    QTest::newRow("short uuid") << int(MonitorDelivery::PerPackage) << false << 3 << 5 << 1;
}

// Line conditions the import rides out on its own.
void ImportEndToEndTest::deliveriesComplete()
{
    QFETCH(int, delivery);
    QFETCH(bool, noise);
    QFETCH(int, patients);
    QFETCH(int, records);
    QFETCH(int, shortUuidId);
    ImportTestRig rig;
    MonitorPatientSet set = SmallSet(patients, records, 23);
    MonitorFaultPlan faults;
    faults.delivery = static_cast<MonitorDelivery>(delivery);
    faults.noise = noise;
    QString error;
    if (shortUuidId >= 0)
        QVERIFY(faults.AddRule(MonitorFault::ShortUuid, QStringLiteral("uuid:%1").arg(shortUuidId),
                               &error));
    MonitorLink::Pacing pacing;
    pacing.byteDelayUs = 300;
    QVERIFY(rig.Plug(set, faults, pacing));
    QVERIFY(rig.Import());
    if (shortUuidId >= 0) {
        // A cut UUID is no UUID: the patient is passed over, nothing mixed up.
        set.Find(shortUuidId)->uuid = QUuid();
        QVERIFY(rig.Env().LogText().contains("ParseUuidDataPkg, incomplete uuid answer"));
    }
    QVERIFY(Stored(rig, set));
}

void ImportEndToEndTest::faultsLeaveNoHarm_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("logText");  // logged once the run is stuck
    QTest::addColumn<int>("firstPartial"); // patients before it are complete
    const QString crc = "iCRCSend != iCRCCalc";
    QTest::newRow("crc error in records") << int(MonitorFault::CrcError) << "nibp:1" << crc << 1;
    QTest::newRow("crc error in list") << int(MonitorFault::CrcError) << "list" << crc << -1;
    QTest::newRow("error 0x0F00") << int(MonitorFault::UnknownError) << "spo2:0"
                                  << "Received Unknown Error Package In the Device!" << 0;
    QTest::newRow("error 0x0F01") << int(MonitorFault::CrcErrorReply) << "temp:-1"
                                  << "Received CRC Error Package In the Device!" << -1;
    QTest::newRow("silence") << int(MonitorFault::Silence) << "uuid:1"
                             << "SendGetVitalDataRequestToDevice:0x0211, iPatientID = 1" << 1;
    QTest::newRow("hang-up mid-answer") << int(MonitorFault::HangUp) << "nibp:1" << QString() << 1;
}

// A faulty answer or a hang-up leaves the run stuck, the program running and
// what arrived intact stored; a new import then completes, nothing stored twice.
void ImportEndToEndTest::faultsLeaveNoHarm()
{
    QFETCH(int, fault);
    QFETCH(QString, selector);
    QFETCH(QString, logText);
    QFETCH(int, firstPartial);
    ImportTestRig rig;
    const MonitorPatientSet set = SmallSet(3, 600, 31); // NIBP in three packages
    MonitorFaultPlan faults;
    QString error;
    QVERIFY(faults.AddRule(static_cast<MonitorFault>(fault), selector, &error));
    QVERIFY(rig.Plug(set, faults));
    QSignalSpy disconnected(&rig.Control(), &CommunicationProcessControl::DeviceDisconnected);
    rig.Control().StartImportData();
    if (logText.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(rig.Link().HasHungUp(), ImportTestRig::WAIT_MS);
        rig.Control().DevicePlugInPlugOutStatusChanged(0, new unsigned short[20]());
        QCOMPARE(disconnected.size(), 1);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(rig.Env().LogText().contains(logText), ImportTestRig::WAIT_MS);
    }
    QVERIFY(rig.FlushDatabase());
    QCOMPARE(rig.importFinishedCount, 0);
    QSet<int> partial;
    for (const SimPatient &p : set.patients)
        if (p.id >= firstPartial)
            partial.insert(p.id);
    QVERIFY(Stored(rig, set, partial));

    if (logText.isEmpty())
        QVERIFY(rig.Plug(set));
    QVERIFY(rig.Import());
    QVERIFY(Stored(rig, set));
}

QTEST_GUILESS_MAIN(ImportEndToEndTest)
#include "tst_ImportEndToEnd.moc"

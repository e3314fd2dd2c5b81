// Imports from the simulated monitor over a real pseudo-terminal through the
// whole pipeline into a SQLite file, with and without line faults.

#include "ImportTestRig.h"
#include "MonitorFrame.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using namespace MonitorFrame;

MonitorPatientSet SmallSet(int patients, int records, std::uint32_t seed)
{
    GenerationOptions options;
    options.patientCount = patients;
    options.recordsPerKind = records;
    options.monitorRecords = records;
    options.seed = seed;
    return MonitorPatientSet::Generate(options);
}

QString Sequence(const QVector<MonitorEngine::HandledRequest> &requests)
{
    QStringList parts;
    for (const auto &r : requests)
        parts << QStringLiteral("%1:%2").arg(r.cmd, 4, 16, QLatin1Char('0')).arg(r.patientId);
    return parts.join(QLatin1Char(' '));
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
    void faultsStallWithoutHarm_data();
    void faultsStallWithoutHarm();
    void hangUpMidImport();
    void scanThreadFindsSimulator();
};

void ImportEndToEndTest::fullImportAndRepeat()
{
    ImportTestRig rig;
    MonitorPatientSet set = SmallSet(4, 30, 11);
    set.Find(2)->uuid = QUuid(); // nothing on the monitor for id 2
    set.Find(3)->temp.clear();   // no temperature records: finished by the controller
    MonitorFaultPlan faults;
    faults.packagePayload = 100; // several packages per answer
    QVERIFY(rig.Plug(set, faults));
    const int demoPatients = rig.CountRows("Patient");

    QVERIFY(rig.Import());
    QCOMPARE(rig.importFinishedCount, 1);
    QString why;
    QVERIFY2(rig.StoredExactly(set, {}, &why), qPrintable(why));
    // Each temperature package of -1, 0 and 1 (three each) is reported by the
    // service; patient 3, without temperature records, by the controller.
    QCOMPARE(rig.patientsFinished, 10);
    QCOMPARE(rig.CountRows("Patient"), demoPatients + 4);
    const int nibpRows = rig.CountRows("NIBPData");

    QVERIFY(rig.Import()); // the same monitor again: nothing new
    QVERIFY2(rig.StoredExactly(set, {}, &why), qPrintable(why));
    QCOMPARE(rig.CountRows("Patient"), demoPatients + 4);
    QCOMPARE(rig.CountRows("NIBPData"), nibpRows);

    rig.Link().Stop();
    QString once = "0200:0 0202:0 0210:0";
    for (int id : {-1, 0, 1, 2, 3}) {
        once += QStringLiteral(" 0211:%1").arg(id);
        if (id != 2)
            once += QStringLiteral(" 020d:%1 020e:%1 020f:%1").arg(id);
    }
    QCOMPARE(Sequence(rig.Engine().Requests()), once + " " + once);
    QCOMPARE(rig.Engine().BadRequestCount(), 0);
    QVERIFY(rig.Env().LogText().contains(set.serialNumber));
}

void ImportEndToEndTest::emptyListEndsAfterMonitorUuid()
{
    ImportTestRig rig;
    MonitorPatientSet set = SmallSet(0, 3, 5);
    set.Find(-1)->uuid = QUuid();
    QVERIFY(rig.Plug(set));
    const int demoPatients = rig.CountRows("Patient");
    QVERIFY(rig.Import());
    QCOMPARE(rig.CountRows("Patient"), demoPatients);
    rig.Link().Stop();
    QCOMPARE(Sequence(rig.Engine().Requests()), QString("0200:0 0202:0 0210:0 0211:-1"));
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

    MonitorPatientSet expected = set;
    if (shortUuidId >= 0) {
        // A cut UUID is no UUID: the patient is passed over, nothing mixed up.
        expected.Find(shortUuidId)->uuid = QUuid();
        QVERIFY(rig.Env().LogText().contains("ParseUuidDataPkg, incomplete uuid answer"));
    }
    QString why;
    QVERIFY2(rig.StoredExactly(expected, {}, &why), qPrintable(why));
}

void ImportEndToEndTest::faultsStallWithoutHarm_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("logText");
    QTest::addColumn<int>("partialId");
    QTest::newRow("crc error in records") << int(MonitorFault::CrcError) << "nibp:1"
                                          << "iCRCSend != iCRCCalc" << 1;
    QTest::newRow("crc error in list") << int(MonitorFault::CrcError) << "list"
                                       << "iCRCSend != iCRCCalc" << -2;
    QTest::newRow("error 0x0F00") << int(MonitorFault::UnknownError) << "spo2:0"
                                  << "Received Unknown Error Package In the Device!" << 0;
    QTest::newRow("error 0x0F01") << int(MonitorFault::CrcErrorReply) << "temp:-1"
                                  << "Received CRC Error Package In the Device!" << -1;
    QTest::newRow("silence") << int(MonitorFault::Silence) << "uuid:1"
                             << "SendGetVitalDataRequestToDevice:0x0211, iPatientID = 1" << -2;
}

// A faulty answer leaves the run waiting with what arrived intact stored; a
// new import then completes and stores nothing twice.
void ImportEndToEndTest::faultsStallWithoutHarm()
{
    QFETCH(int, fault);
    QFETCH(QString, selector);
    QFETCH(QString, logText);
    QFETCH(int, partialId);
    ImportTestRig rig;
    const MonitorPatientSet set = SmallSet(3, 600, 31); // NIBP in three packages
    MonitorFaultPlan faults;
    QString error;
    QVERIFY(faults.AddRule(static_cast<MonitorFault>(fault), selector, &error));
    QVERIFY(rig.Plug(set, faults));

    QSignalSpy finished(&rig.Control(), &CommunicationProcessControl::ImportDataFinished);
    rig.Control().StartImportData();
    if (!logText.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(rig.Env().LogText().contains(logText), ImportTestRig::WAIT_MS);
    else
        QTRY_VERIFY_WITH_TIMEOUT(rig.Link().RequestCount() >= 8, ImportTestRig::WAIT_MS);
    QVERIFY(rig.FlushDatabase());
    QCOMPARE(finished.size(), 0);
    QSet<int> partial;
    for (const SimPatient &p : set.patients)
        partial.insert(p.id);
    QString why;
    QVERIFY2(rig.StoredExactly(set, partial, &why), qPrintable(why));
    if (partialId == 1) // everything of the patients before the damaged answer
        QVERIFY2(rig.StoredExactly(set, {1, 2}, &why), qPrintable(why));

    QVERIFY(rig.Import());
    QVERIFY2(rig.StoredExactly(set, {}, &why), qPrintable(why));
}

// The monitor goes away in the middle of an answer; the program keeps
// running, and once the monitor is back a new import completes.
void ImportEndToEndTest::hangUpMidImport()
{
    ImportTestRig rig;
    const MonitorPatientSet set = SmallSet(3, 50, 41);
    MonitorFaultPlan faults;
    QString error;
    QVERIFY(faults.AddRule(MonitorFault::HangUp, "nibp:1", &error));
    QVERIFY(rig.Plug(set, faults));
    QSignalSpy disconnected(&rig.Control(), &CommunicationProcessControl::DeviceDisconnected);
    rig.Control().StartImportData();
    QTRY_VERIFY_WITH_TIMEOUT(rig.Link().HasHungUp(), ImportTestRig::WAIT_MS);
    rig.Unplug();
    QCOMPARE(disconnected.size(), 1);
    QVERIFY(rig.FlushDatabase());
    QCOMPARE(rig.importFinishedCount, 0);
    QString why;
    QVERIFY2(rig.StoredExactly(set, {1, 2}, &why), qPrintable(why));

    QVERIFY(rig.Plug(set));
    QVERIFY(rig.Import());
    QVERIFY2(rig.StoredExactly(set, {}, &why), qPrintable(why));
}

// Initialize() as the program calls it: the scan thread finds the simulator
// through VANTREL_MONITOR_PORT, and notices it going away.
void ImportEndToEndTest::scanThreadFindsSimulator()
{
    ImportTestRig rig(true);
    const MonitorPatientSet set = SmallSet(2, 10, 53);
    QVERIFY(rig.Plug(set));
    QVERIFY(rig.Import());
    QString why;
    QVERIFY2(rig.StoredExactly(set, {}, &why), qPrintable(why));
    QSignalSpy disconnected(&rig.Control(), &CommunicationProcessControl::DeviceDisconnected);
    rig.Link().HangUp();
    QVERIFY(disconnected.wait(ImportTestRig::WAIT_MS));
}

QTEST_GUILESS_MAIN(ImportEndToEndTest)
#include "tst_ImportEndToEnd.moc"

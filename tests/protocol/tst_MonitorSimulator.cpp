// The simulator's own rules: generated sets are reproducible and survive a
// JSON round trip, answers split on record boundaries, faults hit once.

#include "MonitorEngine.h"
#include "MonitorFrame.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Request(std::uint16_t cmd, int patientId)
{
    QByteArray payload(17, '\0');
    payload[0] = patientId == -1 ? char(1) : char(0);
    payload[1] = patientId == -1 ? char(0) : static_cast<char>(patientId);
    return MonitorFrame::Build(MonitorFrame::REQUEST_START, cmd, 1, 1, payload);
}

QVector<QByteArray> Answer(MonitorEngine &engine, const QByteArray &request)
{
    engine.Receive(request);
    return engine.TakeWrites();
}

} // namespace

class MonitorSimulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void patientSets();
    void answersAndFaults();
};

void MonitorSimulatorTest::patientSets()
{
    GenerationOptions options;
    options.patientCount = 120; // capped at ids 0..99
    options.recordsPerKind = 3;
    options.monitorRecords = 1;
    const MonitorPatientSet set = MonitorPatientSet::Generate(options);
    QCOMPARE(set.ListedIds().size(), 100);
    QCOMPARE(set.ListedIds().last(), 99);
    QCOMPARE(set.patients.first().id, -1);
    QCOMPARE(set.RecordCount(), 100 * 9 + 3);
    QCOMPARE(MonitorPatientSet::Generate(options).patients.at(5).uuid, set.patients.at(5).uuid);

    QTemporaryDir dir;
    const QString path = dir.filePath("set.json");
    QString error;
    QVERIFY(set.SaveToFile(path, &error));
    MonitorPatientSet loaded;
    QVERIFY(loaded.LoadFromFile(path, &error));
    QCOMPARE(loaded.serialNumber, set.serialNumber);
    QCOMPARE(loaded.patients.size(), set.patients.size());
    const SimPatient &a = set.patients.at(7);
    const SimPatient &b = loaded.patients.at(7);
    QCOMPARE(b.uuid, a.uuid);
    QCOMPARE(b.nibp.at(2).time, a.nibp.at(2).time);
    QCOMPARE(b.nibp.at(2).mean, a.nibp.at(2).mean);
    QCOMPARE(b.temp.at(1).tenths, a.temp.at(1).tenths);
    QVERIFY(!loaded.LoadFromFile(dir.filePath("missing.json"), &error));
}

void MonitorSimulatorTest::answersAndFaults()
{
    GenerationOptions options;
    options.patientCount = 2;
    options.recordsPerKind = 1000;
    MonitorFaultPlan faults;
    QString error;
    QVERIFY(faults.AddRule(MonitorFault::Silence, "spo2:1", &error));
    QVERIFY(!faults.AddRule(MonitorFault::Silence, "spo3", &error));
    MonitorEngine engine(MonitorPatientSet::Generate(options), faults);

    // 1000 SpO2 records: 341 a package (4092 bytes), three packages.
    const QVector<QByteArray> spo2 = Answer(engine, Request(MonitorFrame::CMD_SPO2, 0));
    QCOMPARE(spo2.size(), 3);
    QCOMPARE(MonitorFrame::ReadU16(spo2.at(0), 6), 4092);
    QCOMPARE(MonitorFrame::ReadU16(spo2.at(2), 6), (1000 - 2 * 341) * 12);
    QCOMPARE(static_cast<int>(spo2.at(2).at(4)), 3);
    QCOMPARE(static_cast<int>(spo2.at(2).at(5)), 3);

    QVERIFY(Answer(engine, Request(MonitorFrame::CMD_SPO2, 1)).isEmpty());  // the fault
    QCOMPARE(Answer(engine, Request(MonitorFrame::CMD_SPO2, 1)).size(), 3); // spent

    // A request with a damaged CRC is answered with 0x0F01.
    QByteArray damaged = Request(MonitorFrame::CMD_NIBP, 0);
    damaged[10] = 0x55;
    const QVector<QByteArray> reply = Answer(engine, damaged);
    QCOMPARE(reply.size(), 1);
    QCOMPARE(MonitorFrame::ReadU16(reply.at(0), 2), MonitorFrame::CMD_CRC_ERROR);
    QCOMPARE(engine.BadRequestCount(), 1);
}

QTEST_GUILESS_MAIN(MonitorSimulatorTest)
#include "tst_MonitorSimulator.moc"

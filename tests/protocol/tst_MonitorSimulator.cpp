// The simulator's own rules: generated sets are reproducible and survive a
// JSON round trip, answers split on record boundaries, faults hit once.

#include "MonitorEngine.h"
#include "MonitorFrame.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QVector<QByteArray> Answer(MonitorEngine &engine, std::uint16_t cmd, int patientId, char damage = 0)
{
    QByteArray payload(17, '\0');
    payload[0] = patientId == -1 ? char(1) : char(0);
    payload[1] = patientId == -1 ? char(0) : static_cast<char>(patientId);
    QByteArray request = MonitorFrame::Build(MonitorFrame::REQUEST_START, cmd, 1, 1, payload);
    request[10] = static_cast<char>(request.at(10) ^ damage);
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
    QCOMPARE(MonitorPatientSet::Generate(options).patients.at(5).uuid, set.patients.at(5).uuid);

    QTemporaryDir dir;
    QString error;
    QVERIFY(set.SaveToFile(dir.filePath("set.json"), &error));
    MonitorPatientSet loaded;
    // Saved again, the loaded set gives the same file.
    QVERIFY(loaded.LoadFromFile(dir.filePath("set.json"), &error));
    QVERIFY(loaded.SaveToFile(dir.filePath("again.json"), &error));
    QFile first(dir.filePath("set.json")), again(dir.filePath("again.json"));
    QVERIFY(first.open(QIODevice::ReadOnly) && again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), first.readAll());
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
    const QVector<QByteArray> spo2 = Answer(engine, MonitorFrame::CMD_SPO2, 0);
    QCOMPARE(spo2.size(), 3);
    QCOMPARE(MonitorFrame::ReadU16(spo2.at(0), 6), 4092);
    QCOMPARE(MonitorFrame::ReadU16(spo2.at(2), 6), (1000 - 2 * 341) * 12);
    QCOMPARE(spo2.at(2).mid(4, 2), QByteArray("\x03\x03"));

    QVERIFY(Answer(engine, MonitorFrame::CMD_SPO2, 1).isEmpty());  // the fault
    QCOMPARE(Answer(engine, MonitorFrame::CMD_SPO2, 1).size(), 3); // spent

    // A request with a damaged CRC is answered with 0x0F01.
    const QVector<QByteArray> reply = Answer(engine, MonitorFrame::CMD_NIBP, 0, 0x55);
    QCOMPARE(reply.size(), 1);
    QCOMPARE(MonitorFrame::ReadU16(reply.at(0), 2), MonitorFrame::CMD_CRC_ERROR);
    QCOMPARE(engine.BadRequestCount(), 1);
}

QTEST_GUILESS_MAIN(MonitorSimulatorTest)
#include "tst_MonitorSimulator.moc"

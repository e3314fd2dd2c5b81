#include "ComDeviceScanThread.h"
#include "ComPortEnumeration.h"
#include "ComPortPath.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <vector>

using PortInfo = ComPortEnumeration::PortInfo;
using Ports = std::vector<unsigned short>;

namespace {

// Shaped as QSerialPortInfo describes a port on Linux; by default the monitor's.
PortInfo Port(const QString &name, const char *maker = "STMicroelectronics",
              const char *description = "STM32 Virtual ComPort", quint16 vendor = 0x0483,
              quint16 product = 0x5740)
{
    return {name, "/dev/" + name, description, maker, vendor != 0, vendor, vendor != 0, product};
}

PortInfo OtherPort(const QString &name)
{
    return Port(name, "Some Maker", "USB Serial", 0x1a86, 0x7523);
}

Ports Enumerate(int capacity = ComDeviceScanThread::kMaxPorts)
{
    Ports ports(size_t(capacity) + 1, 0xBEEF);
    const int count = ComPortEnumeration::EnumerateMonitorPorts(ports.data(), capacity);
    if (ports[size_t(capacity)] != 0xBEEF) // written past the capacity
        return {0};
    ports.resize(size_t(count));
    return ports;
}

} // namespace

class DeviceScanTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void cleanup()
    {
        ComPortEnumeration::SetPortLister({});
        qunsetenv(ComPortPath::kDevelopmentPortVariable);
    }

    void portNumbersAndPaths();
    void matchingRule();
    void enumeration();
    void scanReportsChanges();
};

void DeviceScanTest::portNumbersAndPaths()
{
    const QList<QPair<QString, int>> numbers = {
        {"ttyACM0", 1}, {"ttyACM11", 12}, {"ttyACM65533", 65534}, {"ttyACM65534", -1},
        {"ttyACM", -1}, {"ttyACM1a", -1}, {"ttyACM-1", -1},       {"ttyUSB0", -1}};
    for (const auto &[name, number] : numbers)
        QCOMPARE(ComPortPath::NumberFromPortName(name), number);

    QCOMPARE(ComPortPath::DevicePath(1), QStringLiteral("/dev/ttyACM0"));
    QCOMPARE(ComPortPath::DevicePath(0), QString());
    QCOMPARE(ComPortPath::DevicePath(ComPortPath::kDevelopmentPortNumber), QString());
}

void DeviceScanTest::matchingRule()
{
    const QList<QPair<PortInfo, bool>> cases = {
        {Port("ttyACM0"), true},
        {Port("ttyACM3", "Some Maker", "USB Serial"), true},
        {Port("ttyACM1", "STMicroelectronics", "STM32 Virtual ComPort", 0, 0), true},
        {Port("ttyACM1", "stmicroelectronics inc.", "STMicroelectronics Virtual COM Port (ttyACM1)",
              0, 0),
         true},
        {Port("ttyACM1", "STMicroelectronics", "virtual comport in fs mode", 0, 0), true},
        {Port("ttyACM1", "STMicroelectronics", "STM32 STLink", 0, 0), false},
        {Port("ttyACM1", "Some Maker", "Virtual COM Port", 0, 0), false},
        // The maker's debug probe: its ids and description are not the port's.
        {Port("ttyACM2", "STMicroelectronics", "STM32 STLink", 0x0483, 0x374b), false},
        // Right ids and names, but not a ttyACM port.
        {Port("ttyUSB0"), false},
        {OtherPort("ttyACM0"), false},
        {PortInfo(), false},
    };
    for (const auto &[info, monitor] : cases)
        QVERIFY2(ComPortEnumeration::IsMonitorPort(info) == monitor,
                 qPrintable(info.portName + ' ' + info.manufacturer + ' ' + info.description));
}

void DeviceScanTest::enumeration()
{
    QList<PortInfo> system = {OtherPort("ttyS0"), Port("ttyACM4"), OtherPort("ttyACM0"),
                              Port("ttyACM1")};
    ComPortEnumeration::SetPortLister([&system] { return system; });
    QCOMPARE(Enumerate(), Ports({5, 2}));
    QCOMPARE(Enumerate(1), Ports({5}));

    // The development port counts while its path exists, after the monitors.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("simulator"));
    qputenv(ComPortPath::kDevelopmentPortVariable, path.toLocal8Bit());
    system = {Port("ttyACM0")};
    QCOMPARE(Enumerate(), Ports({1}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(Enumerate(), Ports({1, 65535}));
    QCOMPARE(Enumerate(1), Ports({1}));
    // Named as the development port, a listed monitor is not counted twice.
    system.first().systemLocation = path;
    QCOMPARE(Enumerate(), Ports({1}));
    system.clear();
    QCOMPARE(Enumerate(), Ports({65535}));
}

void DeviceScanTest::scanReportsChanges()
{
    // What the system lists at each step, and the report that follows.
    const QList<QPair<QList<PortInfo>, Ports>> steps = {
        {{}, {}},
        {{OtherPort("ttyS0"), Port("ttyACM0")}, {1}},
        {{Port("ttyACM0"), Port("ttyACM2")}, {1, 3}},
        {{Port("ttyACM5"), Port("ttyACM2")}, {6, 3}}, // same count, first port changed
        {{}, {}},
        {{Port("ttyACM0")}, {1}},
    };
    std::atomic<int> step{0};
    std::atomic<int> scans{0};
    ComPortEnumeration::SetPortLister([&] {
        ++scans;
        return steps[step].first;
    });
    QObject receiver;
    std::vector<Ports> reports;
    auto scanner = std::make_unique<ComDeviceScanThread>();
    connect(scanner.get(), &ComDeviceScanThread::DeviceNumChanged, &receiver,
            [&reports](int num, unsigned short *port) {
                reports.emplace_back(port, port + num);
                delete[] port;
            });

    for (int i = 0; i < steps.size(); ++i) {
        step = i;
        if (i > 0) {
            QTRY_COMPARE(reports.size(), size_t(i));
            QCOMPARE(reports.back(), steps[i].second);
        }
        // No more reports while nothing changes: once two more scans ran, a
        // report of the one before the last would be queued.
        const int target = scans + 2;
        QTRY_VERIFY(scans >= target);
        QCoreApplication::processEvents();
        QCOMPARE(reports.size(), size_t(i));
    }
    scanner.reset();
    // Reports still on their way belong to the receiver.
    QCoreApplication::sendPostedEvents(&receiver, QEvent::MetaCall);
    QCOMPARE(reports.size(), steps.size() - 1);
}

QTEST_GUILESS_MAIN(DeviceScanTest)
#include "tst_devicescan.moc"

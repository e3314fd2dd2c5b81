#include "ComDeviceScanThread.h"
#include "ComPortEnumeration.h"
#include "ComPortPath.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <vector>

using PortInfo = ComPortEnumeration::PortInfo;
using Ports = std::vector<unsigned short>;

namespace {

// Shaped as QSerialPortInfo describes the monitor on Linux.
PortInfo Monitor(int acm)
{
    PortInfo info;
    info.portName = QStringLiteral("ttyACM%1").arg(acm);
    info.systemLocation = QStringLiteral("/dev/") + info.portName;
    info.description = QStringLiteral("STM32 Virtual ComPort");
    info.manufacturer = QStringLiteral("STMicroelectronics");
    info.hasVendorIdentifier = info.hasProductIdentifier = true;
    info.vendorIdentifier = 0x0483;
    info.productIdentifier = 0x5740;
    return info;
}

PortInfo OtherPort(const QString &name)
{
    PortInfo info;
    info.portName = name;
    info.systemLocation = QStringLiteral("/dev/") + name;
    info.description = QStringLiteral("USB Serial");
    info.manufacturer = QStringLiteral("Some Maker");
    info.hasVendorIdentifier = info.hasProductIdentifier = true;
    info.vendorIdentifier = 0x1a86;
    info.productIdentifier = 0x7523;
    return info;
}

Ports Enumerate(int capacity = ComDeviceScanThread::kMaxPorts)
{
    Ports ports(size_t(capacity) + 1, 0xBEEF);
    const int count = ComPortEnumeration::EnumerateMonitorPorts(ports.data(), capacity);
    if (ports[size_t(capacity)] != 0xBEEF)
        return {0};
    ports.resize(size_t(count));
    return ports;
}

// The system's port list as the test sets it, read by the scan thread.
class FakeSystem
{
public:
    void Set(const QList<PortInfo> &ports)
    {
        QMutexLocker lock(&m_mutex);
        m_ports = ports;
    }
    QList<PortInfo> List()
    {
        ++m_scans;
        QMutexLocker lock(&m_mutex);
        return m_ports;
    }
    int Scans() const { return m_scans; }

private:
    QMutex m_mutex;
    QList<PortInfo> m_ports;
    std::atomic<int> m_scans{0};
};

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

private:
    void WaitForScans(FakeSystem &system, int count);
};

void DeviceScanTest::portNumbersAndPaths()
{
    QCOMPARE(ComPortPath::NumberFromPortName("ttyACM0"), 1);
    QCOMPARE(ComPortPath::NumberFromPortName("ttyACM11"), 12);
    QCOMPARE(ComPortPath::NumberFromPortName("ttyACM"), -1);
    QCOMPARE(ComPortPath::NumberFromPortName("ttyACM1a"), -1);
    QCOMPARE(ComPortPath::NumberFromPortName("ttyACM-1"), -1);
    QCOMPARE(ComPortPath::NumberFromPortName("ttyUSB0"), -1);
    QCOMPARE(ComPortPath::NumberFromPortName("ttyACM65533"), 65534);
    QCOMPARE(ComPortPath::NumberFromPortName("ttyACM65534"), -1);

    QCOMPARE(ComPortPath::DevicePath(1), QStringLiteral("/dev/ttyACM0"));
    QCOMPARE(ComPortPath::DevicePath(12), QStringLiteral("/dev/ttyACM11"));
    QCOMPARE(ComPortPath::DevicePath(0), QString());
    QCOMPARE(ComPortPath::DevicePath(-1), QString());
    QCOMPARE(ComPortPath::DevicePath(ComPortPath::kDevelopmentPortNumber), QString());
    qputenv(ComPortPath::kDevelopmentPortVariable, "/dev/pts/7");
    QCOMPARE(ComPortPath::DevicePath(ComPortPath::kDevelopmentPortNumber),
             QStringLiteral("/dev/pts/7"));

    ComPortPath::SetPathResolver([](int com) { return QStringLiteral("/tmp/port%1").arg(com); });
    QCOMPARE(ComPortPath::DevicePath(2), QStringLiteral("/tmp/port2"));
    ComPortPath::SetPathResolver({});
    QCOMPARE(ComPortPath::DevicePath(2), QStringLiteral("/dev/ttyACM1"));
}

void DeviceScanTest::matchingRule()
{
    QVERIFY(ComPortEnumeration::IsMonitorPort(Monitor(0)));

    PortInfo idsOnly = OtherPort("ttyACM3");
    idsOnly.vendorIdentifier = 0x0483;
    idsOnly.productIdentifier = 0x5740;
    QVERIFY(ComPortEnumeration::IsMonitorPort(idsOnly));

    PortInfo namesOnly = Monitor(1);
    namesOnly.hasVendorIdentifier = namesOnly.hasProductIdentifier = false;
    namesOnly.vendorIdentifier = namesOnly.productIdentifier = 0;
    QVERIFY(ComPortEnumeration::IsMonitorPort(namesOnly));
    namesOnly.manufacturer = QStringLiteral("stmicroelectronics inc.");
    namesOnly.description = QStringLiteral("STMicroelectronics Virtual COM Port (ttyACM1)");
    QVERIFY(ComPortEnumeration::IsMonitorPort(namesOnly));
    namesOnly.description = QStringLiteral("virtual comport in fs mode");
    QVERIFY(ComPortEnumeration::IsMonitorPort(namesOnly));
    namesOnly.description = QStringLiteral("STM32 STLink");
    QVERIFY(!ComPortEnumeration::IsMonitorPort(namesOnly));
    namesOnly.description = QStringLiteral("Virtual COM Port");
    namesOnly.manufacturer = QStringLiteral("Some Maker");
    QVERIFY(!ComPortEnumeration::IsMonitorPort(namesOnly));

    // The maker's debug probe: its ids and description are not the port's.
    PortInfo probe = Monitor(2);
    probe.productIdentifier = 0x374b;
    probe.description = QStringLiteral("STM32 STLink");
    QVERIFY(!ComPortEnumeration::IsMonitorPort(probe));

    // Right ids and names, but not a ttyACM port.
    PortInfo usb = Monitor(0);
    usb.portName = QStringLiteral("ttyUSB0");
    QVERIFY(!ComPortEnumeration::IsMonitorPort(usb));
    QVERIFY(!ComPortEnumeration::IsMonitorPort(OtherPort("ttyACM0")));
    QVERIFY(!ComPortEnumeration::IsMonitorPort(PortInfo()));

    // The system's own list converts field by field.
    for (const PortInfo &info : ComPortEnumeration::SystemPorts())
        QVERIFY(!info.portName.isEmpty());
}

void DeviceScanTest::enumeration()
{
    QList<PortInfo> system = {OtherPort("ttyS0"), Monitor(4), OtherPort("ttyACM0"), Monitor(1)};
    ComPortEnumeration::SetPortLister([&system] { return system; });
    QCOMPARE(Enumerate(), Ports({5, 2}));
    QCOMPARE(Enumerate(1), Ports({5}));

    system.clear();
    for (int i = 0; i < 25; ++i)
        system.append(Monitor(i));
    Ports expected;
    for (unsigned short i = 1; i <= 20; ++i)
        expected.push_back(i);
    QCOMPARE(Enumerate(), expected);

    // The development port counts while its path exists, after the monitors.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("simulator"));
    qputenv(ComPortPath::kDevelopmentPortVariable, path.toLocal8Bit());
    system = {Monitor(0)};
    QCOMPARE(Enumerate(), Ports({1}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(Enumerate(), Ports({1, 65535}));
    QCOMPARE(Enumerate(1), Ports({1}));
    system.clear();
    QCOMPARE(Enumerate(), Ports({65535}));
    // Named as the development port, a listed monitor is not counted twice.
    qputenv(ComPortPath::kDevelopmentPortVariable, "/dev/ttyACM0");
    system = {Monitor(0)};
    QCOMPARE(Enumerate(), Ports({1}));
}

void DeviceScanTest::WaitForScans(FakeSystem &system, int count)
{
    const int target = system.Scans() + count;
    QTRY_VERIFY(system.Scans() >= target);
    // A report of the scan before the last is queued by now.
    QCoreApplication::processEvents();
}

void DeviceScanTest::scanReportsChanges()
{
    FakeSystem system;
    ComPortEnumeration::SetPortLister([&system] { return system.List(); });
    QTemporaryDir dir;
    const QString simulator = dir.filePath(QStringLiteral("simulator"));
    qputenv(ComPortPath::kDevelopmentPortVariable, simulator.toLocal8Bit());

    QObject receiver;
    std::vector<Ports> reports;
    auto scanner = std::make_unique<ComDeviceScanThread>();
    connect(scanner.get(), &ComDeviceScanThread::DeviceNumChanged, &receiver,
            [&reports](int num, unsigned short *port) {
                reports.emplace_back(port, port + num);
                delete[] port;
            });

    WaitForScans(system, 2);
    QCOMPARE(reports.size(), size_t(0));

    system.Set({OtherPort("ttyS0"), Monitor(0)});
    QTRY_COMPARE(reports.size(), size_t(1));
    QCOMPARE(reports.back(), Ports({1}));
    WaitForScans(system, 2);
    QCOMPARE(reports.size(), size_t(1));

    system.Set({Monitor(0), Monitor(2)});
    QTRY_COMPARE(reports.size(), size_t(2));
    QCOMPARE(reports.back(), Ports({1, 3}));

    // Same count, first port changed.
    system.Set({Monitor(5), Monitor(2)});
    QTRY_COMPARE(reports.size(), size_t(3));
    QCOMPARE(reports.back(), Ports({6, 3}));

    system.Set({});
    QTRY_COMPARE(reports.size(), size_t(4));
    QCOMPARE(reports.back(), Ports());
    WaitForScans(system, 2);
    QCOMPARE(reports.size(), size_t(4));

    // The simulator's port comes and goes with its path.
    QFile file(simulator);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QTRY_COMPARE(reports.size(), size_t(5));
    QCOMPARE(reports.back(), Ports({65535}));
    QVERIFY(file.remove());
    QTRY_COMPARE(reports.size(), size_t(6));
    QCOMPARE(reports.back(), Ports());

    system.Set({Monitor(0)});
    QTRY_COMPARE(reports.size(), size_t(7));
    scanner.reset();
    // Reports still on their way belong to the receiver.
    QCoreApplication::sendPostedEvents(&receiver, QEvent::MetaCall);
    QCOMPARE(reports.size(), size_t(7));
}

QTEST_GUILESS_MAIN(DeviceScanTest)
#include "tst_devicescan.moc"

// The serial link: read buffer, the port over a pseudo-terminal, port names and scan.

#include "ComDeviceCommunication.h"
#include "ComDeviceScanThread.h"
#include "ComPortEnumeration.h"
#include "ComPortPath.h"
#include "DeviceLinkBytes.h"
#include "PseudoTerminal.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <vector>

namespace {

using PortInfo = ComPortEnumeration::PortInfo;
using Ports = std::vector<unsigned short>;
constexpr int kBufferSize = ComDeviceCommunication::kReadBufferSize;
constexpr const char *kOverflowMessage = "Read Buffer of USBDevCommunication overflowed.";

QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF);
    return bytes;
}

bool Send(ComDeviceCommunication &front, QByteArray bytes)
{
    return front.WriteDataToDev(reinterpret_cast<unsigned char *>(bytes.data()), int(bytes.size()));
}

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

class DeviceTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void cleanup()
    {
        ComPortEnumeration::SetPortLister({});
        qunsetenv(ComPortPath::kDevelopmentPortVariable);
    }

    void bufferAndRequestRules();
    void portOverPseudoTerminal();
    void portNumbersAndPaths();
    void matchingRule();
    void enumeration();
    void scanReportsChanges();
};

void DeviceTest::bufferAndRequestRules()
{
    TestEnvironment env;
    ComDeviceCommunication front;
    QSignalSpy readSpy(&front, &ComDeviceCommunication::ReadFinished);
    QSignalSpy requestSpy(&front, &ComDeviceCommunication::WriteComSig);

    Deliver(front, "0123456789");
    QCOMPARE(readSpy.count(), 1);
    char copy[4] = {};
    int size = 4;
    front.GetReadBuffer(copy, size);
    QCOMPARE(QByteArray(copy, size), QByteArray("0123"));
    front.UpdateReadBuffer2(3);
    QCOMPARE(Pending(front), QByteArray("3456789"));

    // Rejected chunks are freed and not reported.
    front.ReadFinishedSlot(nullptr, 5, true);
    front.ReadFinishedSlot(new char[4](), 4, false);
    front.ReadFinishedSlot(new char[4](), 0, true);
    QCOMPARE(readSpy.count(), 1);
    QCOMPARE(Pending(front), QByteArray("3456789"));

    // A chunk leaving one byte free fits; one filling the buffer overflows it, all lost.
    Deliver(front, Pattern(kBufferSize - 8, 1));
    QCOMPARE(readSpy.count(), 2);
    QCOMPARE(Pending(front), "3456789" + Pattern(kBufferSize - 8, 1));
    Deliver(front, "x");
    QCOMPARE(readSpy.count(), 2);
    QCOMPARE(Pending(front), QByteArray());
    QCOMPARE(env.LogText().count(kOverflowMessage), 1);

    // A chunk as large as the whole buffer is dropped without the message.
    Deliver(front, "ab");
    Deliver(front, Pattern(kBufferSize, 3));
    QCOMPARE(Pending(front), QByteArray());
    QCOMPARE(env.LogText().count(kOverflowMessage), 1);

    unsigned char bytes[5] = {1, 2, 3, 4, 5};
    QVERIFY(!front.WriteDataToDev(nullptr, 5));
    QVERIFY(!front.WriteDataToDev(bytes, 0));
    QVERIFY(!front.WriteDataToDev(bytes, -1));
    QCOMPARE(requestSpy.count(), 0);
    // Queued before any port is open: the worker drops and frees it (the leak check sees).
    QVERIFY(front.WriteDataToDev(bytes, 5));
    QCOMPARE(requestSpy.count(), 1);
    QCOMPARE(requestSpy.at(0).at(1).toInt(), 5);
}

void DeviceTest::portOverPseudoTerminal()
{
    TestEnvironment env;
    PseudoTerminal pty;
    QVERIFY(!pty.SlavePath().isEmpty());
    const QString missing = env.Root() + QStringLiteral("/no-such-port");
    constexpr int kPort = ComPortPath::kDevelopmentPortNumber;
    const auto logged = [&env](const QString &text) { return env.LogText().count(text); };
    // The development port: the device the variable names opens by its number.
    const QString opened = QStringLiteral("open com success. COM:65535 (%1)").arg(pty.SlavePath());
    qputenv(ComPortPath::kDevelopmentPortVariable, pty.SlavePath().toLocal8Bit());
    {
        ComDeviceCommunication front;
        QSignalSpy readSpy(&front, &ComDeviceCommunication::ReadFinished);
        QSignalSpy writeSpy(&front, &ComDeviceCommunication::WriteFinished);
        front.OpenDevice(kPort);
        front.OpenDevice(kPort);
        QTRY_COMPARE(logged(opened), 2);
        termios line = {};
        QCOMPARE(::tcgetattr(pty.Slave(), &line), 0);
        QCOMPARE(::cfgetospeed(&line), speed_t(B115200));
        QCOMPARE(line.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));

        const QByteArray answer = Pattern(3000, 5);
        QVERIFY(pty.Write(answer));
        QTRY_COMPARE(Pending(front), answer);
        QVERIFY(readSpy.count() >= 1);
        QVERIFY(Send(front, Pattern(29, 9)));
        QCOMPARE(pty.ReadExactly(29), Pattern(29, 9));
        QTRY_COMPARE(writeSpy.count(), 1);
        // Far more than the line holds at once: each arrives whole and in order.
        QVERIFY(Send(front, Pattern(200000, 11)));
        QVERIFY(Send(front, Pattern(150000, 13)));
        QCOMPARE(pty.ReadExactly(350000), Pattern(200000, 11) + Pattern(150000, 13));
        QTRY_COMPARE(writeSpy.count(), 3);
        QCOMPARE(pty.ReadExactly(0), QByteArray());

        front.CloseDevice();
        front.CloseDevice();
        front.OpenDevice(kPort);
        QTRY_COMPARE(logged(opened), 3);
        QCOMPARE(logged(QStringLiteral("Close com device")), 2);

        // A missing device is logged with number, path and error; writes go nowhere.
        front.CloseDevice();
        qputenv(ComPortPath::kDevelopmentPortVariable, missing.toLocal8Bit());
        front.OpenDevice(kPort);
        QTRY_COMPARE(logged(QStringLiteral("open com failed. COM:65535 (%1)").arg(missing)), 1);
        QCOMPARE(logged(QStringLiteral("Open(): CreateFile() failed, invalid handle value. "
                                       "Error CODE: %1. COM:65535 (%2): ")
                            .arg(int(QSerialPort::DeviceNotFoundError))
                            .arg(missing)),
                 1);
        QVERIFY(env.LogText().contains(QStringLiteral("VirtualComComm\\ComAccess")));
        readSpy.clear();
        writeSpy.clear();
        QVERIFY(pty.Write("nobody listens"));
        QVERIFY(Send(front, "dropped"));

        // Requests run in order: once the reopened port answers, the failed one has
        // seen the bytes and the write; the reopen purges what waited on the line.
        front.CloseDevice();
        qputenv(ComPortPath::kDevelopmentPortVariable, pty.SlavePath().toLocal8Bit());
        front.OpenDevice(kPort);
        QTRY_COMPARE(logged(opened), 4);
        QVERIFY(readSpy.isEmpty() && writeSpy.isEmpty());
        QVERIFY(Send(front, "back"));
        QCOMPARE(pty.ReadExactly(4), QByteArray("back"));
        QCOMPARE(Pending(front), answer);
        // Destroyed while open: the port is closed and released.
    }
    ComDeviceCommunication again;
    QSignalSpy readSpy(&again, &ComDeviceCommunication::ReadFinished);
    again.OpenDevice(kPort);
    QTRY_COMPARE(logged(opened), 5);
    QVERIFY(pty.Write("free"));
    QTRY_COMPARE(Pending(again), QByteArray("free"));

    // Unplugged until closed: polls and writes neither hang the worker nor deliver.
    readSpy.clear();
    pty.Unplug();
    QVERIFY(Send(again, "into the void"));
    again.CloseDevice();
    QTRY_COMPARE(logged(QStringLiteral("Close com device")), 6);
    QVERIFY(readSpy.isEmpty());
    QCOMPARE(Pending(again), QByteArray("free"));
}

void DeviceTest::portNumbersAndPaths()
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

void DeviceTest::matchingRule()
{
    const QList<QPair<PortInfo, bool>> cases = {
        {Port("ttyACM0"), true},
        {Port("ttyACM3", "Some Maker", "USB Serial"), true},
        {Port("ttyACM1", "stmicroelectronics inc.", "STMicroelectronics Virtual COM Port (ttyACM1)",
              0, 0),
         true},
        {Port("ttyACM1", "STMicroelectronics", "STM32 STLink", 0, 0), false},
        {Port("ttyACM1", "Some Maker", "Virtual COM Port", 0, 0), false},
        // The maker's debug probe: its ids and description are not the port's.
        {Port("ttyACM2", "STMicroelectronics", "STM32 STLink", 0x0483, 0x374b), false},
        // Right ids and names, but not a ttyACM port.
        {Port("ttyUSB0"), false},
        {OtherPort("ttyACM0"), false},
    };
    for (const auto &[info, monitor] : cases)
        QVERIFY2(ComPortEnumeration::IsMonitorPort(info) == monitor,
                 qPrintable(info.portName + ' ' + info.manufacturer + ' ' + info.description));
}

void DeviceTest::enumeration()
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
    QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    QCOMPARE(Enumerate(), Ports({1, 65535}));
    // Named as the development port, a listed monitor is not counted twice.
    system.first().systemLocation = path;
    QCOMPARE(Enumerate(), Ports({1}));
    system.clear();
    QCOMPARE(Enumerate(), Ports({65535}));
}

void DeviceTest::scanReportsChanges()
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
    std::atomic<int> step{0}, scans{0};
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
        // Nothing changes, nothing is told: after two more scans a report would be queued.
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

QTEST_GUILESS_MAIN(DeviceTest)
#include "tst_device.moc"

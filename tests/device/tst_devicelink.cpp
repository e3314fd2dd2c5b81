#include "ComDeviceCommunication.h"
#include "ComPortPath.h"
#include "PseudoTerminal.h"
#include "TestEnvironment.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <cstring>

namespace {

constexpr int kBufferSize = ComDeviceCommunication::kReadBufferSize;
constexpr const char *kOverflowMessage = "Read Buffer of USBDevCommunication overflowed.";

QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF);
    return bytes;
}

QByteArray Pending(ComDeviceCommunication &front)
{
    char *data = nullptr;
    int size = 0;
    front.ReadDataFromDev(data, size);
    return QByteArray(data, size);
}

// Hands the front a chunk the way the worker does: a new buffer it owns.
void Deliver(ComDeviceCommunication &front, const QByteArray &bytes)
{
    char *chunk = new char[size_t(bytes.size())];
    std::memcpy(chunk, bytes.constData(), size_t(bytes.size()));
    front.ReadFinishedSlot(chunk, int(bytes.size()), true);
}

bool Send(ComDeviceCommunication &front, QByteArray bytes)
{
    return front.WriteDataToDev(reinterpret_cast<unsigned char *>(bytes.data()), int(bytes.size()));
}

} // namespace

class DeviceLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void cleanup() { qunsetenv(ComPortPath::kDevelopmentPortVariable); }

    void bufferAndRequestRules();
    void portOverPseudoTerminal();
};

void DeviceLinkTest::bufferAndRequestRules()
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

    // The buffer never fills: a chunk leaving one byte free fits; one exactly
    // the size of the free space overflows, and all is lost.
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

    Deliver(front, "abc");
    front.ClearReadWriteBuffer();
    QCOMPARE(Pending(front), QByteArray());

    unsigned char bytes[5] = {1, 2, 3, 4, 5};
    QVERIFY(!front.WriteDataToDev(nullptr, 5));
    QVERIFY(!front.WriteDataToDev(bytes, 0));
    QVERIFY(!front.WriteDataToDev(bytes, -1));
    QCOMPARE(requestSpy.count(), 0);
    // Queued before any port was opened: the worker drops it (and frees the
    // copy, which the leak check watches) once its thread runs.
    QVERIFY(front.WriteDataToDev(bytes, 5));
    QCOMPARE(requestSpy.count(), 1);
    QCOMPARE(requestSpy.at(0).at(1).toInt(), 5);
}

void DeviceLinkTest::portOverPseudoTerminal()
{
    TestEnvironment env;
    PseudoTerminal pty;
    QVERIFY(!pty.SlavePath().isEmpty());
    const QString missing = env.Root() + QStringLiteral("/no-such-port");
    // The development port: the device the variable names opens by its number.
    const auto useDevice = [](const QString &path) {
        qputenv(ComPortPath::kDevelopmentPortVariable, path.toLocal8Bit());
    };
    constexpr int kPort = ComPortPath::kDevelopmentPortNumber;
    const auto logged = [&env](const QString &text) { return env.LogText().count(text); };
    const QString opened = QStringLiteral("open com success. COM:65535 (%1)").arg(pty.SlavePath());
    useDevice(pty.SlavePath());
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
        const QByteArray request = Pattern(29, 9);
        QVERIFY(Send(front, request));
        QCOMPARE(pty.ReadExactly(29), request);
        QTRY_COMPARE(writeSpy.count(), 1);
        // Far more than the line holds at once: each arrives whole and in order.
        const QByteArray first = Pattern(200000, 11);
        const QByteArray second = Pattern(150000, 13);
        QVERIFY(Send(front, first));
        QVERIFY(Send(front, second));
        QCOMPARE(pty.ReadExactly(int(first.size() + second.size())), first + second);
        QTRY_COMPARE(writeSpy.count(), 3);
        QCOMPARE(pty.ReadExactly(0), QByteArray());

        front.CloseDevice();
        front.CloseDevice();
        front.OpenDevice(kPort);
        QTRY_COMPARE(logged(opened), 3);
        QCOMPARE(logged(QStringLiteral("Close com device")), 2);

        // A missing device: logged with the port's number, path and error;
        // nothing is read and writes go nowhere.
        front.CloseDevice();
        useDevice(missing);
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

        // Requests run in order, so once the reopened port answers, the
        // failed state has been through the same bytes and the write; the
        // reopen purges what waited on the line.
        front.CloseDevice();
        useDevice(pty.SlavePath());
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

    // Unplugged, the port keeps being polled and written to until it is
    // closed; neither hangs the worker nor delivers anything.
    readSpy.clear();
    pty.Unplug();
    QVERIFY(Send(again, "into the void"));
    again.CloseDevice();
    QTRY_COMPARE(logged(QStringLiteral("Close com device")), 6);
    QVERIFY(readSpy.isEmpty());
    QCOMPARE(Pending(again), QByteArray("free"));
}

QTEST_GUILESS_MAIN(DeviceLinkTest)
#include "tst_devicelink.moc"

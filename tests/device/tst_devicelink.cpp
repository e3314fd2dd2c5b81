#include "ComDeviceCommunication.h"
#include "ComPortPath.h"
#include "PseudoTerminal.h"
#include "TestEnvironment.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <memory>

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

bool Send(ComDeviceCommunication &front, const QByteArray &bytes)
{
    QByteArray copy = bytes;
    return front.WriteDataToDev(reinterpret_cast<unsigned char *>(copy.data()), int(copy.size()));
}

} // namespace

class DeviceLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void cleanup()
    {
        ComPortPath::SetPathResolver({});
        qunsetenv(ComPortPath::kDevelopmentPortVariable);
    }

    void readBufferRules();
    void writeRequestRules();
    void exchangeOverPseudoTerminal();
    void closeReopenAndMissingDevice();
    void developmentPortOpensByItsNumber();
    void unplugWhileOpen();
};

void DeviceLinkTest::readBufferRules()
{
    TestEnvironment env;
    ComDeviceCommunication front;
    QSignalSpy readSpy(&front, &ComDeviceCommunication::ReadFinished);

    Deliver(front, "0123456789");
    QCOMPARE(readSpy.count(), 1);
    QCOMPARE(Pending(front), QByteArray("0123456789"));

    char copy[4] = {};
    int size = 4;
    front.GetReadBuffer(copy, size);
    QCOMPARE(size, 4);
    QCOMPARE(QByteArray(copy, 4), QByteArray("0123"));
    QCOMPARE(Pending(front).size(), 10);

    front.UpdateReadBuffer2(3);
    QCOMPARE(Pending(front), QByteArray("3456789"));
    front.UpdateReadBuffer2(0);
    QCOMPARE(Pending(front), QByteArray("3456789"));

    // Rejected chunks are freed and not reported.
    front.ReadFinishedSlot(nullptr, 5, true);
    front.ReadFinishedSlot(new char[4](), 4, false);
    front.ReadFinishedSlot(new char[4](), 0, true);
    QCOMPARE(readSpy.count(), 1);
    QCOMPARE(Pending(front), QByteArray("3456789"));

    // A chunk exactly the size of the free space is an overflow: all is lost.
    Deliver(front, Pattern(kBufferSize - 7, 1));
    QCOMPARE(readSpy.count(), 1);
    QCOMPARE(Pending(front).size(), 0);
    QCOMPARE(env.LogText().count(kOverflowMessage), 1);

    // One byte short of the capacity fits; then no byte more does.
    Deliver(front, Pattern(kBufferSize - 1, 2));
    QCOMPARE(readSpy.count(), 2);
    QCOMPARE(Pending(front), Pattern(kBufferSize - 1, 2));
    Deliver(front, "x");
    QCOMPARE(Pending(front).size(), 0);
    QCOMPARE(env.LogText().count(kOverflowMessage), 2);

    // A chunk as large as the whole buffer is dropped without the message.
    Deliver(front, "ab");
    Deliver(front, Pattern(kBufferSize, 3));
    QCOMPARE(Pending(front).size(), 0);
    QCOMPARE(env.LogText().count(kOverflowMessage), 2);

    Deliver(front, "abc");
    front.ClearReadWriteBuffer();
    QCOMPARE(Pending(front).size(), 0);
    size = 4;
    front.GetReadBuffer(copy, size);
    QCOMPARE(size, 0);
}

void DeviceLinkTest::writeRequestRules()
{
    TestEnvironment env;
    ComDeviceCommunication front;
    QSignalSpy requestSpy(&front, &ComDeviceCommunication::WriteComSig);
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

void DeviceLinkTest::exchangeOverPseudoTerminal()
{
    TestEnvironment env;
    PseudoTerminal pty;
    QVERIFY(pty.IsValid());
    const QString path = pty.SlavePath();
    ComPortPath::SetPathResolver([path](int com) { return com == 3 ? path : QString(); });

    ComDeviceCommunication front;
    QSignalSpy readSpy(&front, &ComDeviceCommunication::ReadFinished);
    QSignalSpy writeSpy(&front, &ComDeviceCommunication::WriteFinished);
    front.OpenDevice(3);
    front.OpenDevice(3);
    QTRY_COMPARE(env.LogText().count(QStringLiteral("open com success. COM:3 (%1)").arg(path)), 2);
    QCOMPARE(pty.LineSettings(), QStringLiteral("115200 8N1"));

    const QByteArray answer = Pattern(3000, 5);
    QVERIFY(pty.Write(answer));
    QTRY_COMPARE(Pending(front).size(), answer.size());
    QCOMPARE(Pending(front), answer);
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
    QCOMPARE(pty.ReadAvailable(), QByteArray());
}

void DeviceLinkTest::closeReopenAndMissingDevice()
{
    TestEnvironment env;
    PseudoTerminal pty;
    QVERIFY(pty.IsValid());
    const QString path = pty.SlavePath();
    const QString missing = env.Root() + QStringLiteral("/no-such-port");
    ComPortPath::SetPathResolver([path, missing](int com) { return com == 1 ? path : missing; });

    {
        ComDeviceCommunication front;
        QSignalSpy readSpy(&front, &ComDeviceCommunication::ReadFinished);
        QSignalSpy writeSpy(&front, &ComDeviceCommunication::WriteFinished);
        front.OpenDevice(1);
        front.CloseDevice();
        front.CloseDevice();
        front.OpenDevice(1);
        QTRY_COMPARE(env.LogText().count(QStringLiteral("open com success. COM:1")), 2);
        QCOMPARE(env.LogText().count(QStringLiteral("Close com device")), 2);
        {
            // Held by this program already: a second open is refused.
            ComDeviceCommunication other;
            other.OpenDevice(1);
            QTRY_COMPARE(env.LogText().count(QStringLiteral("open com failed. COM:1")), 1);
        }
        QVERIFY(pty.Write("after reopen"));
        QTRY_COMPARE(Pending(front), QByteArray("after reopen"));
        front.ClearReadWriteBuffer();

        // A missing device: logged with the port's number and path; nothing
        // is read and writes go nowhere.
        front.CloseDevice();
        front.OpenDevice(2);
        QTRY_VERIFY(
            env.LogText().contains(QStringLiteral("open com failed. COM:2 (%1)").arg(missing)));
        const QString log = env.LogText();
        QVERIFY(log.contains(QStringLiteral("Open(): CreateFile() failed, invalid handle value. "
                                            "Error CODE: %1. COM:2 (%2): ")
                                 .arg(int(QSerialPort::DeviceNotFoundError))
                                 .arg(missing)));
        QVERIFY(log.contains(QStringLiteral("VirtualComComm\\ComAccess")));
        QVERIFY(pty.Write("nobody listens"));
        QVERIFY(Send(front, "dropped"));
        const int readsBefore = readSpy.count();
        const int writesBefore = writeSpy.count();

        // Requests run in order, so once the reopened port answers, the
        // failed state has been through the same bytes and the write.
        front.CloseDevice();
        front.OpenDevice(1);
        QTRY_COMPARE(env.LogText().count(QStringLiteral("open com success. COM:1")), 3);
        QCOMPARE(readSpy.count(), readsBefore);
        QCOMPARE(writeSpy.count(), writesBefore);
        QCOMPARE(Pending(front), QByteArray());
        QVERIFY(Send(front, "back"));
        QCOMPARE(pty.ReadExactly(4), QByteArray("back"));
        // Destroyed while open: the port is closed and released.
    }
    ComDeviceCommunication again;
    again.OpenDevice(1);
    QTRY_COMPARE(env.LogText().count(QStringLiteral("open com success. COM:1")), 4);
    QVERIFY(pty.Write("free"));
    QTRY_COMPARE(Pending(again), QByteArray("free"));
}

void DeviceLinkTest::developmentPortOpensByItsNumber()
{
    TestEnvironment env;
    PseudoTerminal pty;
    QVERIFY(pty.IsValid());
    qputenv(ComPortPath::kDevelopmentPortVariable, pty.SlavePath().toLocal8Bit());
    QCOMPARE(ComPortPath::DevicePath(ComPortPath::kDevelopmentPortNumber), pty.SlavePath());

    ComDeviceCommunication front;
    front.OpenDevice(ComPortPath::kDevelopmentPortNumber);
    QTRY_VERIFY(env.LogText().contains(
        QStringLiteral("open com success. COM:65535 (%1)").arg(pty.SlavePath())));
    QVERIFY(Send(front, "ping"));
    QCOMPARE(pty.ReadExactly(4), QByteArray("ping"));
    QVERIFY(pty.Write("pong"));
    QTRY_COMPARE(Pending(front), QByteArray("pong"));
}

void DeviceLinkTest::unplugWhileOpen()
{
    TestEnvironment env;
    PseudoTerminal pty;
    QVERIFY(pty.IsValid());
    const QString path = pty.SlavePath();
    ComPortPath::SetPathResolver([path](int) { return path; });

    ComDeviceCommunication front;
    QSignalSpy readSpy(&front, &ComDeviceCommunication::ReadFinished);
    front.OpenDevice(1);
    QTRY_VERIFY(env.LogText().contains(QStringLiteral("open com success.")));
    QVERIFY(pty.Write("last words"));
    QTRY_COMPARE(Pending(front), QByteArray("last words"));
    const int reads = readSpy.count();

    // The port keeps being polled and written to until the scan closes it;
    // neither hangs the worker nor delivers anything.
    pty.Unplug();
    QVERIFY(Send(front, "into the void"));
    front.CloseDevice();
    QTRY_COMPARE(env.LogText().count(QStringLiteral("Close com device")), 1);
    QCOMPARE(readSpy.count(), reads);
    QCOMPARE(Pending(front), QByteArray("last words"));
}

QTEST_GUILESS_MAIN(DeviceLinkTest)
#include "tst_devicelink.moc"

// Frames, CRC, frame scanning and answer decoding of the import controller,
// without a device: answers are built by the simulator's own frame code.

#include "ComDeviceCommunication.h"
#include "CommunicationProcessControl.h"
#include "MonitorEngine.h"
#include "MonitorFrame.h"
#include "TestEnvironment.h"
#include "WorkItemSink.h"

#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <memory>
#include <random>

namespace {

using Control = CommunicationProcessControl;

const unsigned char *Bytes(const QByteArray &bytes)
{
    return reinterpret_cast<const unsigned char *>(bytes.constData());
}

unsigned Size(const QByteArray &bytes)
{
    return static_cast<unsigned>(bytes.size());
}

QByteArray Answer(std::uint16_t cmd, const QByteArray &payload, unsigned char no = 1,
                  unsigned char count = 1)
{
    return MonitorFrame::BuildAnswer(cmd, no, count, payload);
}

QByteArray TimeStamp(int year, int month, int day, int hour, int minute, int second)
{
    QByteArray out;
    MonitorFrame::AppendU16(out, static_cast<std::uint16_t>(year));
    for (int value : {month, day, hour, minute, second})
        out.append(static_cast<char>(value));
    return out;
}

// Feeds a buffer to ParseDevicePkg the way OnReadFinished does; returns the
// count of each call.
QVector<unsigned> ParseAll(Control &control, const QByteArray &bytes)
{
    QVector<unsigned> counts;
    QByteArray rest = bytes;
    while (!rest.isEmpty()) {
        const unsigned c = control.ParseDevicePkg(Bytes(rest), Size(rest));
        counts.append(c);
        if (c == 0)
            break;
        rest.remove(0, c);
    }
    return counts;
}

unsigned short *Ports(std::initializer_list<unsigned short> numbers)
{
    auto *ports = new unsigned short[20]();
    std::copy(numbers.begin(), numbers.end(), ports);
    return ports;
}

} // namespace

class ProtocolFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void crcAndRequestFrames();
    void frameScanning();
    void corruptAndForeignFrames();
    void recordPayloads();
    void patientListAndUuid();
    void importRunWithoutRecords();
    void plugInAndOut();
    void burstLargerThanStagingBuffer();
};

void ProtocolFramesTest::crcAndRequestFrames()
{
    const QByteArray digits("123456789");
    QCOMPARE(Control::CalculateCRCValue(Bytes(digits), 9), 0x89A1897Fu);
    QCOMPARE(Control::CalculateCRCValue(nullptr, 9), 0u);
    QCOMPARE(Control::CalculateCRCValue(Bytes(digits), 0), 0u);
    const unsigned char one[] = {1}, two[] = {2}, three[] = {3};
    QCOMPARE(Control::CalculateCRCValue(one, 1), 0x04C11DB7u);
    QCOMPARE(Control::CalculateCRCValue(two, 1), 0x09823B6Eu);
    QCOMPARE(Control::CalculateCRCValue(three, 1), 0x0D4326D9u);

    // The table form agrees with a bit-by-bit CRC on arbitrary data.
    std::mt19937 random(42);
    for (int round = 0; round < 50; ++round) {
        QByteArray data(static_cast<qsizetype>(random() % 5000), '\0');
        for (char &c : data)
            c = static_cast<char>(random());
        QCOMPARE(Control::CalculateCRCValue(Bytes(data), Size(data)), MonitorFrame::Crc32(data));
    }

    QCOMPARE(Control::BuildRequestFrame(0x0200, false, 0).toHex(' '),
             QByteArray("aa 19 02 00 01 01 00 00 74 46 ab 43"));
    QCOMPARE(Control::BuildRequestFrame(0x0202, false, 0).toHex(' '),
             QByteArray("aa 19 02 02 01 01 00 00 e6 5c 64 59"));
    QCOMPARE(Control::BuildRequestFrame(0x0210, false, 0).toHex(' '),
             QByteArray("aa 19 02 10 01 01 00 00 f7 94 a5 4f"));
    const QByteArray nibp = Control::BuildRequestFrame(0x020D, true, 5);
    QCOMPARE(nibp, QByteArray::fromHex("aa19020d01010011") + QByteArray::fromHex("0005") +
                       QByteArray(15, '\0') + QByteArray::fromHex("beca64b9"));
    QCOMPARE(Control::BuildRequestFrame(0x0211, true, -1).mid(8, 2).toHex(), QByteArray("0100"));
    QCOMPARE(Control::BuildRequestFrame(0x020F, true, 7).mid(8, 2).toHex(), QByteArray("0007"));
    // The simulator reads these requests back with the right patient.
    MonitorFrame::Request request;
    QByteArray buffer = Control::BuildRequestFrame(0x020E, true, -1);
    QVERIFY(MonitorFrame::TakeRequest(buffer, request));
    QVERIFY(request.crcValid);
    QCOMPARE(MonitorEngine::PatientIdFromSelector(request.payload), -1);
}

void ProtocolFramesTest::frameScanning()
{
    TestEnvironment env;
    Control control;
    WorkItemSink sink(control);
    const QByteArray type = Answer(0x0200, "VTM-100");

    QCOMPARE(control.ParseDevicePkg(nullptr, 5), 0u);
    QCOMPARE(control.ParseDevicePkg(Bytes(type), 0), 0u);

    // Noise before a frame goes with it.
    const QByteArray noisy = QByteArray::fromHex("0011") + type;
    QCOMPARE(control.ParseDevicePkg(Bytes(noisy), Size(noisy)), 2u + Size(type));

    // A partial header waits; the whole frame is then handled.
    QCOMPARE(control.ParseDevicePkg(Bytes(type), 5), 0u);
    QCOMPARE(control.ParseDevicePkg(Bytes(type), Size(type) - 1), 0u);
    QCOMPARE(control.ParseDevicePkg(Bytes(type), Size(type)), Size(type));

    // Without a start byte everything goes; bytes before a partial header go.
    const QByteArray noise = QByteArray::fromHex("00112233445566778899");
    QCOMPARE(control.ParseDevicePkg(Bytes(noise), Size(noise)), Size(noise));
    const QByteArray partial = noise + type.left(6);
    QCOMPARE(control.ParseDevicePkg(Bytes(partial), Size(partial)), Size(noise));

    // Two frames in one buffer: two calls, the first exactly one frame long.
    const QByteArray sn = Answer(0x0202, "SN-42");
    QCOMPARE(ParseAll(control, type + sn), (QVector<unsigned>{Size(type), Size(sn)}));

    // Length 0x1001 is skipped to the next start byte; 0x1000 is accepted.
    QByteArray tooLong = Answer(0x020D, QByteArray(0x1001, '\x01'));
    const QByteArray afterLong = tooLong + type;
    QCOMPARE(control.ParseDevicePkg(Bytes(afterLong), Size(afterLong)), Size(tooLong));
    const QByteArray full = Answer(0x020D, QByteArray(0x1000, '\x01'));
    QCOMPARE(control.ParseDevicePkg(Bytes(full), Size(full)), Size(full));
    QCOMPARE(sink.items.size(), 1);
    QCOMPARE(RecordChainLength(sink.Chain<STU_DB_NIBP_DATA_LIST>(0)), 256);

    const QString log = env.LogText();
    QVERIFY(log.contains("BusinessLogic\\CommunicationProcessControl"));
    QVERIFY(log.contains("ParseDeviceTypePkg"));
    QVERIFY(log.contains("    VTM-100\n"));
    QVERIFY(log.contains("The following device start import data:"));
    QVERIFY(log.contains("    SN-42\n"));
}

void ProtocolFramesTest::corruptAndForeignFrames()
{
    TestEnvironment env;
    Control control;
    WorkItemSink sink(control);
    const QByteArray good = Answer(0x0202, "SN-1");

    QByteArray damaged = Answer(0x0200, "TYPE");
    const quint32 sent = MonitorFrame::Crc32(damaged.left(damaged.size() - 4)) ^ 0x000000FFu;
    damaged[damaged.size() - 1] = static_cast<char>(damaged.at(damaged.size() - 1) ^ 0xFF);
    QCOMPARE(ParseAll(control, damaged + good), (QVector<unsigned>{Size(damaged), Size(good)}));
    const QString log = env.LogText();
    QVERIFY(log.contains(QString::asprintf(
        "CalculateCRCValue, iCRCSend != iCRCCalc, iCRCSend = %08X, iCRCCalc = %08X", sent,
        sent ^ 0xFFu)));
    QVERIFY(log.contains("    BB 19 02 00 01 01 00 04 54 59 50 45 \n"));
    QVERIFY(!log.contains("ParseDeviceTypePkg"));
    QCOMPARE(control.GetDeviceSN(), QString("SN-1"));

    // A wrong protocol byte is a false start.
    QByteArray falseStart = good;
    falseStart[1] = 0x18;
    QCOMPARE(control.ParseDevicePkg(Bytes(falseStart + good), Size(falseStart) + Size(good)),
             Size(falseStart));

    const QVector<unsigned> counts =
        ParseAll(control, Answer(0x0F00, {}) + Answer(0x0F01, {}) + Answer(0x0333, "x"));
    QCOMPARE(counts, (QVector<unsigned>{12u, 12u, 13u}));
    const QString after = env.LogText();
    QVERIFY(after.contains("    Received Unknown Error Package In the Device!\n"));
    QVERIFY(after.contains("    Received CRC Error Package In the Device!\n"));
    QVERIFY(after.contains("    Received Unsupport Package\n"));
    QVERIFY(sink.items.isEmpty());
}

void ProtocolFramesTest::recordPayloads()
{
    TestEnvironment env;
    Control control;
    WorkItemSink sink(control);

    const QByteArray uuid = QByteArray::fromHex("0000"
                                                "00112233445566778899aabbccddeeff");
    ParseAll(control, Answer(0x0211, uuid));
    const QUuid expected =
        QUuid::fromString(QStringLiteral("{33221100-5544-7766-8899-aabbccddeeff}"));
    QCOMPARE(control.GetCurrentPatientUuid(), expected);

    QByteArray nibp = TimeStamp(2016, 3, 4, 5, 6, 7) + QByteArray::fromHex("007b00500060004800");
    nibp += TimeStamp(2017, 12, 31, 23, 59, 58) + QByteArray::fromHex("010000020003000400");
    nibp += QByteArray(15, '\x07'); // remainder
    QByteArray spo2 = TimeStamp(2016, 1, 2, 3, 4, 5) + QByteArray::fromHex("0062004b00") + "\x01";
    QByteArray temp = TimeStamp(2016, 1, 2, 3, 4, 5) + QByteArray::fromHex("016d00");
    temp += TimeStamp(2016, 1, 2, 3, 4, 6) + QByteArray::fromHex("017200") + QByteArray(5, '\0');
    ParseAll(control, Answer(0x020D, nibp) + Answer(0x020E, spo2) + Answer(0x020F, temp) +
                          Answer(0x020F, QByteArray(9, '\0')));

    QCOMPARE(sink.items.size(), 5); // patient, NIBP, SpO2, two temperature answers
    QCOMPARE(sink.items.at(1).type, uint(DB_WORK_INSERT_NIBP_DATA));
    QCOMPARE(sink.Uuid(1), expected);
    const auto *n = sink.Chain<STU_DB_NIBP_DATA_LIST>(1);
    QCOMPARE(RecordChainLength(n), 2);
    QCOMPARE(n->MeasureTime, QDateTime(QDate(2016, 3, 4), QTime(5, 6, 7)));
    QCOMPARE(n->SysValue, 123);
    QCOMPARE(n->DiaValue, 80);
    QCOMPARE(n->MeanValue, 96);
    QCOMPARE(n->PrValue, 72);
    QCOMPARE(n->ID, 0);
    QCOMPARE(n->pNext->MeasureTime, QDateTime(QDate(2017, 12, 31), QTime(23, 59, 58)));
    QCOMPARE(n->pNext->SysValue, 256);
    QCOMPARE(n->pNext->PrValue, 4);
    QVERIFY(!n->pNext->pNext);

    QCOMPARE(sink.items.at(2).type, uint(DB_WORK_INSERT_SPO2_DATA));
    const auto *s = sink.Chain<STU_DB_SPO2_DATA_LIST>(2);
    QCOMPARE(RecordChainLength(s), 1);
    QCOMPARE(s->SPO2Value, 98);
    QCOMPARE(s->PrValue, 75);

    QCOMPARE(sink.items.at(3).type, uint(DB_WORK_INSERT_TEMP_DATA));
    const auto *t = sink.Chain<STU_DB_TEMP_DATA_LIST>(3);
    QCOMPARE(RecordChainLength(t), 2); // 25 bytes: two records, five ignored
    QCOMPARE(t->TempValue, 36.5f);
    QCOMPARE(t->pNext->TempValue, 37.0f);
    QCOMPARE(t->pNext->MeasureTime, QDateTime(QDate(2016, 1, 2), QTime(3, 4, 6)));
    // Nine bytes hold no record: the work item carries no chain.
    QCOMPARE(sink.items.at(4).type, uint(DB_WORK_INSERT_TEMP_DATA));
    QCOMPARE(sink.items.at(4).lParam, quintptr(0));
    QVERIFY(sink.finishedPatients.isEmpty());
}

void ProtocolFramesTest::patientListAndUuid()
{
    TestEnvironment env;
    Control control;
    WorkItemSink sink(control);

    ParseAll(control, Answer(0x0202, QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")));
    QCOMPARE(control.GetDeviceSN(), QString("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"));

    // Byte 0 is not read; 0xC8 = 200 is skipped; -1 comes first.
    ParseAll(control, Answer(0x0210, QByteArray::fromHex("050102c803")));
    QCOMPARE(control.GetCurrentPatientID(), -1);
    QCOMPARE(control.GetPatientIdQueue(), (QVector<int>{1, 2, 3}));

    // A list over two packages keeps the ids of the last one only.
    ParseAll(control, Answer(0x0210, QByteArray::fromHex("020809"), 1, 2) +
                          Answer(0x0210, QByteArray::fromHex("010a"), 2, 2));
    QCOMPARE(control.GetCurrentPatientID(), -1);
    QCOMPARE(control.GetPatientIdQueue(), (QVector<int>{10}));

    const QByteArray uuidBytes = QByteArray::fromHex("0000"
                                                     "0123456789abcdef0123456789abcdef");
    ParseAll(control, Answer(0x0211, uuidBytes));
    QCOMPARE(sink.items.size(), 1);
    QCOMPARE(sink.items.at(0).type, uint(DB_WORK_INSERT_NEW_PATIENT));
    QCOMPARE(sink.items.at(0).lParam, quintptr(0));
    STU_DB_PATIENT_LIST *patient = sink.Patient(0);
    QCOMPARE(patient->PatientID, control.GetCurrentPatientUuid());
    QCOMPARE(GetRecordText(patient->DeviceSN), QString("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"));
    QCOMPARE(patient->IdInDevice, MONITOR_PSEUDO_PATIENT_ID);
    QCOMPARE(GetRecordText(patient->Name), QString());
    QVERIFY(!patient->ReadFlag);
    QVERIFY(env.LogText().contains("emit NewDatabaseTask, the guid is:"));
    QVERIFY(env.LogText().contains(patient->PatientID.toString()));

    // A cut UUID answer counts as no UUID: nothing filed under a mixed UUID.
    ParseAll(control, Answer(0x0211, uuidBytes.left(17)));
    QVERIFY(control.GetCurrentPatientUuid().isNull());
    QCOMPARE(control.GetCurrentPatientID(), 10);
    QCOMPARE(sink.items.size(), 1);
    QVERIFY(env.LogText().contains("ParseUuidDataPkg, incomplete uuid answer, length = 17"));

    // A null UUID of the last id ends the run.
    ParseAll(control, Answer(0x0211, QByteArray(18, '\0')));
    QCOMPARE(sink.items.size(), 1);
    QCOMPARE(sink.importFinished, 1);
}

void ProtocolFramesTest::importRunWithoutRecords()
{
    TestEnvironment env;
    Control control;
    WorkItemSink sink(control);
    ParseAll(control, Answer(0x0210, QByteArray::fromHex("00")));
    QCOMPARE(control.GetCurrentPatientID(), -1);
    QVERIFY(control.GetPatientIdQueue().isEmpty());
    const QByteArray uuid = QByteArray::fromHex("0000"
                                                "11111111222233334444555555555555");
    ParseAll(control, Answer(0x0211, uuid) + Answer(0x020D, {}) + Answer(0x020E, {}) +
                          Answer(0x020F, {}, 1, 2));
    QCOMPARE(sink.items.size(), 1); // the patient only: empty answers carry no work
    QVERIFY(sink.finishedPatients.isEmpty());
    QCOMPARE(sink.importFinished, 0);
    ParseAll(control, Answer(0x020F, {}, 2, 2));
    QCOMPARE(sink.finishedPatients.size(), 1);
    QCOMPARE(*sink.finishedPatients.at(0), control.GetCurrentPatientUuid());
    QCOMPARE(sink.importFinished, 1);

    control.ResetImportState();
    QVERIFY(control.GetCurrentPatientUuid().isNull());
    QCOMPARE(control.GetDeviceSN(), QString());
    QCOMPARE(control.GetCurrentPatientID(), 0);
}

void ProtocolFramesTest::plugInAndOut()
{
    Control control;
    QStringList events;
    connect(&control, &Control::NewDeviceConnected, this, [&] { events << "connected"; });
    connect(&control, &Control::DeviceDisconnected, this, [&] { events << "disconnected"; });

    control.DevicePlugInPlugOutStatusChanged(-1, Ports({}));
    control.DevicePlugInPlugOutStatusChanged(0, Ports({}));
    QVERIFY(events.isEmpty());
    QCOMPARE(control.GetPortCount(), -1);
    control.DevicePlugInPlugOutStatusChanged(1, Ports({3}));
    control.DevicePlugInPlugOutStatusChanged(1, Ports({3}));
    control.DevicePlugInPlugOutStatusChanged(2, Ports({3, 4}));
    QCOMPARE(events, QStringList{"connected"});
    QCOMPARE(control.GetPortCount(), 2);
    control.DevicePlugInPlugOutStatusChanged(1, Ports({5}));
    QCOMPARE(events, (QStringList{"connected", "disconnected", "connected"}));
    control.DevicePlugInPlugOutStatusChanged(0, Ports({}));
    control.DevicePlugInPlugOutStatusChanged(0, Ports({}));
    QCOMPARE(control.GetPortCount(), -1);
    control.DevicePlugInPlugOutStatusChanged(20, Ports({1, 2}));
    QCOMPARE(events,
             (QStringList{"connected", "disconnected", "connected", "disconnected", "connected"}));
}

// Several packages arriving in one chunk larger than the staging buffer are
// all handled, with no later bytes needed to trigger the parse.
void ProtocolFramesTest::burstLargerThanStagingBuffer()
{
    TestEnvironment env;
    Control control;
    control.CreateCommunication();
    WorkItemSink sink(control);
    // Packages 1 to 4 of 5: none is the last, so no request goes out.
    QByteArray burst;
    for (unsigned char no = 1; no <= 4; ++no)
        burst += Answer(0x020D, QByteArray(4096, static_cast<char>(no)), no, 5);
    burst += Answer(0x0202, "SN").left(7); // and the start of a frame yet to come
    QVERIFY(burst.size() > 3 * int(Control::STAGING_BUFFER_SIZE));
    auto *chunk = new char[static_cast<size_t>(burst.size())];
    std::memcpy(chunk, burst.constData(), static_cast<size_t>(burst.size()));
    control.GetCommunication()->ReadFinishedSlot(chunk, static_cast<int>(burst.size()), true);

    QCOMPARE(sink.items.size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(RecordChainLength(sink.Chain<STU_DB_NIBP_DATA_LIST>(i)), 256);
    char *pending = nullptr;
    int pendingSize = -1;
    control.GetCommunication()->ReadDataFromDev(pending, pendingSize);
    QCOMPARE(pendingSize, 7);
}

QTEST_GUILESS_MAIN(ProtocolFramesTest)
#include "tst_ProtocolFrames.moc"

// Frames, CRC, frame scanning and answer decoding of the import controller.

#include "CommunicationProcessControl.h"
#include "DatabaseRecords.h"
#include "DeviceLinkBytes.h"
#include "MonitorFrame.h"
#include "TestEnvironment.h"

#include <QTest>

namespace {

using Control = CommunicationProcessControl;

const unsigned char *Bytes(const QByteArray &bytes)
{
    return reinterpret_cast<const unsigned char *>(bytes.constData());
}

const auto Size = [](const QByteArray &bytes) { return unsigned(bytes.size()); };

QByteArray Answer(std::uint16_t cmd, const QByteArray &payload, unsigned char no = 1,
                  unsigned char count = 1)
{
    return MonitorFrame::BuildAnswer(cmd, no, count, payload);
}

// Parses as OnReadFinished does, each answer as if just asked for; the count of each call.
QVector<unsigned> ParseAll(Control &control, const QByteArray &bytes)
{
    QVector<unsigned> counts;
    for (QByteArray rest = bytes; !rest.isEmpty() && (counts.isEmpty() || counts.last());
         rest.remove(0, counts.last())) {
        const qsizetype p = rest.indexOf('\xBB');
        if (p >= 0 && rest.size() >= p + 8 && rest.at(p + 4) == 1)
            control.ExpectAnswer(
                static_cast<unsigned short>(uchar(rest[p + 2]) << 8 | uchar(rest[p + 3])), 0);
        counts.append(control.ParseDevicePkg(Bytes(rest), Size(rest)));
    }
    return counts;
}

void VerifyLogHas(const TestEnvironment &env, const QStringList &texts)
{
    const QString log = env.LogText();
    for (const QString &text : texts)
        QVERIFY2(log.contains(text), qPrintable(text));
}

// Each record of a chain as "time values"; the chain is freed.
template <typename Record, typename Values> QStringList TakeChain(quintptr head, Values values)
{
    QStringList lines;
    for (const Record *r = reinterpret_cast<Record *>(head); r; r = r->pNext)
        lines << r->MeasureTime.toString(Qt::ISODate) + values(*r);
    FreeRecordChain(reinterpret_cast<Record *>(head));
    return lines;
}

// Stands in for the database service: notes and frees what the controller hands over.
struct WorkItemSink : QObject
{
    // The head ("type uuid", for a new patient "type uuid sn id read"), then the records.
    QVector<QStringList> items;
    QVector<QUuid> finishedPatients;

    explicit WorkItemSink(Control &control)
    {
        connect(&control, &Control::NewDatabaseTask, this, &WorkItemSink::Take);
        connect(&control, &Control::OnImportOnePatientDataFinished, this, [this](QUuid *uuid) {
            finishedPatients.append(*uuid);
            delete uuid;
        });
    }
    void Take(uint type, quintptr w, quintptr l)
    {
        const QString head = QString::number(type) + QLatin1Char(' ');
        if (type == DB_WORK_INSERT_NEW_PATIENT) {
            const std::unique_ptr<STU_DB_PATIENT_LIST> p(
                reinterpret_cast<STU_DB_PATIENT_LIST *>(w));
            items.append(
                {head + p->PatientID.toString() + ' ' + GetRecordText(p->DeviceSN) +
                 QString::asprintf(" %u %d%s", p->IdInDevice, p->ReadFlag, l ? " ?" : "")});
            return;
        }
        items.append({head + std::unique_ptr<QUuid>(reinterpret_cast<QUuid *>(w))->toString()});
        if (type == DB_WORK_INSERT_NIBP_DATA)
            items.last() += TakeChain<STU_DB_NIBP_DATA_LIST>(l, [](auto &r) {
                return QString::asprintf(" %d %d %d %d", r.SysValue, r.DiaValue, r.MeanValue,
                                         r.PrValue);
            });
        else if (type == DB_WORK_INSERT_SPO2_DATA)
            items.last() += TakeChain<STU_DB_SPO2_DATA_LIST>(
                l, [](auto &r) { return QString::asprintf(" %d %d", r.SPO2Value, r.PrValue); });
        else if (type == DB_WORK_INSERT_TEMP_DATA)
            items.last() += TakeChain<STU_DB_TEMP_DATA_LIST>(
                l, [](auto &r) { return QString::asprintf(" %d", qRound(r.TempValue * 10)); });
    }
};

} // namespace

class ProtocolFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void crcAndRequestFrames();
    void frameScanning();
    void recordPayloads();
    void patientListAndUuid();
    void plugInAndOut();
    void burstLargerThanStagingBuffer();
};

void ProtocolFramesTest::crcAndRequestFrames()
{
    QCOMPARE(Control::CalculateCRCValue(nullptr, 9), 0u);
    const auto frame = [](unsigned short cmd, bool withSelector, int id) {
        return Control::BuildRequestFrame(cmd, withSelector, id).toHex();
    };
    QCOMPARE(frame(0x0200, false, 0), QByteArray("aa190200010100007446ab43"));
    QCOMPARE(frame(0x0202, false, 0), QByteArray("aa19020201010000e65c6459"));
    QCOMPARE(frame(0x0210, false, 0), QByteArray("aa19021001010000f794a54f"));
    QCOMPARE(frame(0x020D, true, 5), "aa19020d010100110005" + QByteArray(30, '0') + "beca64b9");
    QCOMPARE(frame(0x0211, true, -1).mid(16, 4), QByteArray("0100"));
}

// Scanning rules, damaged and foreign frames, and the messages they log.
void ProtocolFramesTest::frameScanning()
{
    TestEnvironment env;
    Control control;
    WorkItemSink sink(control);
    const QByteArray type = Answer(0x0200, "VTM-100");
    const unsigned typeSize = Size(type);
    QCOMPARE(control.ParseDevicePkg(nullptr, 5), 0u);
    QCOMPARE(control.ParseDevicePkg(Bytes(type), 0), 0u);
    // Noise before a frame goes with it; a partial header or frame waits.
    QCOMPARE(ParseAll(control, QByteArray::fromHex("0011") + type),
             QVector<unsigned>{typeSize + 2});
    QCOMPARE(ParseAll(control, type.left(5)), QVector<unsigned>{0});
    QCOMPARE(ParseAll(control, type.chopped(1)), QVector<unsigned>{0});
    // Without a start byte everything goes; bytes before a partial header go.
    const QByteArray noise = QByteArray::fromHex("00112233445566778899");
    QCOMPARE(ParseAll(control, noise), QVector<unsigned>{10});
    QCOMPARE(ParseAll(control, noise + type.left(6)), (QVector<unsigned>{10, 0}));
    // Two frames in one buffer: two calls, the first exactly one frame long.
    const QByteArray sn = Answer(0x0202, "SN-42");
    QCOMPARE(ParseAll(control, type + sn), (QVector<unsigned>{typeSize, Size(sn)}));
    // A wrong protocol byte is a false start.
    QByteArray falseStart = sn;
    falseStart[1] = 0x18;
    QCOMPARE(ParseAll(control, falseStart + sn), (QVector<unsigned>{Size(sn), Size(sn)}));
    // Length 0x1001 is skipped to the next start byte; 0x1000 is accepted.
    const QByteArray tooLong = Answer(0x020D, QByteArray(0x1001, '\x01'));
    const QByteArray full = Answer(0x020D, QByteArray(0x1000, '\x01'));
    QCOMPARE(ParseAll(control, tooLong + full), (QVector<unsigned>{Size(tooLong), Size(full)}));
    QCOMPARE(sink.items.size(), 1);
    QCOMPARE(sink.items.at(0).size(), 1 + 256);
    VerifyLogHas(env, {"BusinessLogic\\CommunicationProcessControl", "ParseDeviceTypePkg",
                       "    VTM-100\n", "The following device start import data:", "    SN-42\n"});

    // A damaged CRC is logged with the frame, and the good frame after it handled.
    const qsizetype typeLogs = env.LogText().count("ParseDeviceTypePkg");
    QByteArray damaged = Answer(0x0200, "TYPE");
    const quint32 sent = MonitorFrame::Crc32(damaged.left(damaged.size() - 4)) ^ 0xFFu;
    damaged[damaged.size() - 1] = static_cast<char>(damaged.back() ^ 0xFF);
    const QByteArray good = Answer(0x0202, "SN-1");
    QCOMPARE(ParseAll(control, damaged + good), (QVector<unsigned>{Size(damaged), Size(good)}));
    QCOMPARE(control.GetDeviceSN(), QString("SN-1"));
    QCOMPARE(env.LogText().count("ParseDeviceTypePkg"), typeLogs);
    // Error answers and unknown commands are logged and carry no work.
    QCOMPARE(ParseAll(control, Answer(0x0F00, {}) + Answer(0x0F01, {}) + Answer(0x0333, "x")),
             (QVector<unsigned>{12u, 12u, 13u}));
    VerifyLogHas(env, {QString::asprintf("CalculateCRCValue, iCRCSend != iCRCCalc, iCRCSend = "
                                         "%08X, iCRCCalc = %08X",
                                         sent, sent ^ 0xFFu),
                       "    BB 19 02 00 01 01 00 04 54 59 50 45 \n",
                       "    Received Unknown Error Package In the Device!\n",
                       "    Received CRC Error Package In the Device!\n",
                       "    Received Unsupport Package\n"});
    QCOMPARE(sink.items.size(), 1);
}

void ProtocolFramesTest::recordPayloads()
{
    TestEnvironment env;
    Control control;
    WorkItemSink sink(control);
    // The UUID's first three fields are sent in memory (little-endian) order.
    ParseAll(control, Answer(0x0211, QByteArray::fromHex("000000112233445566778899aabbccddeeff")));
    const QUuid expected =
        QUuid::fromString(QStringLiteral("{33221100-5544-7766-8899-aabbccddeeff}"));
    QCOMPARE(control.GetCurrentPatientUuid(), expected);

    QByteArray nibp = QByteArray::fromHex("07e00304050607007b00500060004800");
    // Impossible stamps (month 13, hour 25, all zeros) are skipped, the rest kept.
    nibp += QByteArray::fromHex("07e10d01010101010000020003000400");
    nibp += QByteArray::fromHex("07e10c1f173b3a010000020003000400");
    nibp += QByteArray(15, '\x07'); // remainder
    QByteArray spo2 = QByteArray::fromHex("07e001021904050062004b00");
    spo2 += QByteArray::fromHex("07e001020304050062004b0001");
    QByteArray temp = QByteArray::fromHex("07e00102030405016d00") + QByteArray(10, '\0');
    temp += QByteArray::fromHex("07e00102030406017200") + QByteArray(5, '\0');
    ParseAll(control, Answer(0x020D, nibp) + Answer(0x020E, spo2) + Answer(0x020F, temp) +
                          Answer(0x020F, QByteArray(9, '\0')));

    // Work items for the patient and each kind (temperature: 35 bytes, two records).
    const auto item = [&](int type, const QStringList &records) {
        return QStringList{QStringLiteral("%1 %2").arg(type).arg(expected.toString())} + records;
    };
    QCOMPARE(sink.items.size(), 4);
    QCOMPARE(sink.items.at(1), item(DB_WORK_INSERT_NIBP_DATA, {"2016-03-04T05:06:07 123 80 96 72",
                                                               "2017-12-31T23:59:58 256 2 3 4"}));
    QCOMPARE(sink.items.at(2), item(DB_WORK_INSERT_SPO2_DATA, {"2016-01-02T03:04:05 98 75"}));
    QCOMPARE(sink.items.at(3), item(DB_WORK_INSERT_TEMP_DATA,
                                    {"2016-01-02T03:04:05 365", "2016-01-02T03:04:06 370"}));
    VerifyLogHas(env, {"ParseNIBPDataPkg, 1 record(s) with an impossible time stamp skipped",
                       "ParseSPO2DataPkg, 1 record(s)", "ParseTEMPDataPkg, 1 record(s)"});
    // Nine bytes hold no record: no work item, the patient is finished here.
    QCOMPARE(sink.finishedPatients, QVector<QUuid>{expected});
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
    // A list over three packages: each adds its ids.
    const auto list = [](const char *hex, unsigned char no) {
        return Answer(0x0210, QByteArray::fromHex(hex), no, 3);
    };
    ParseAll(control, list("020809", 1) + list("010a", 2) + list("010b", 3));
    QCOMPARE(control.GetCurrentPatientID(), -1);
    QCOMPARE(control.GetPatientIdQueue(), (QVector<int>{8, 9, 10, 11}));
    // With its middle package missing, a list is not complete.
    ParseAll(control, list("0107", 1) + list("0109", 3));
    QCOMPARE(control.GetPatientIdQueue(), (QVector<int>{8, 9, 10, 11}));

    const QByteArray uuidBytes = QByteArray::fromHex("00000123456789abcdef0123456789abcdef");
    ParseAll(control, Answer(0x0211, uuidBytes));
    // The monitor's pseudo-patient, unread, under the serial number.
    const QString uuid = control.GetCurrentPatientUuid().toString();
    QCOMPARE(sink.items,
             (QVector<QStringList>{{QStringLiteral("%1 %2 ABCDEFGHIJKLMNOPQRSTUVWXYZ01234 %3 0")
                                        .arg(DB_WORK_INSERT_NEW_PATIENT)
                                        .arg(uuid)
                                        .arg(MONITOR_PSEUDO_PATIENT_ID)}}));
    VerifyLogHas(env, {"emit NewDatabaseTask, the guid is:", uuid});

    // A cut UUID answer counts as no UUID: nothing filed under a mixed UUID.
    ParseAll(control, Answer(0x0211, uuidBytes.left(17)));
    QVERIFY(control.GetCurrentPatientUuid().isNull());
    QCOMPARE(control.GetCurrentPatientID(), 8);
    QCOMPARE(sink.items.size(), 1);
    VerifyLogHas(env, {"ParseUuidDataPkg, incomplete uuid answer, length = 17"});
}

void ProtocolFramesTest::plugInAndOut()
{
    Control control;
    QStringList events;
    connect(&control, &Control::NewDeviceConnected, this, [&] { events << "connected"; });
    connect(&control, &Control::DeviceDisconnected, this, [&] { events << "disconnected"; });
    const auto plug = [&](int count, std::initializer_list<unsigned short> numbers) {
        auto *ports = new unsigned short[20]();
        std::copy(numbers.begin(), numbers.end(), ports);
        control.DevicePlugInPlugOutStatusChanged(count, ports);
    };
    plug(-1, {});
    plug(0, {});
    QCOMPARE(control.GetPortCount(), -1);
    plug(1, {3});
    plug(1, {3});
    plug(2, {3, 4});
    QCOMPARE(control.GetPortCount(), 2);
    plug(1, {5});
    plug(0, {});
    plug(0, {});
    QCOMPARE(control.GetPortCount(), -1);
    plug(20, {1, 2});
    QCOMPARE(events,
             (QStringList{"connected", "disconnected", "connected", "disconnected", "connected"}));
}

// A chunk larger than the staging buffer is parsed whole, without waiting for more
// bytes; a package that comes twice counts once. A new run drops what is left.
void ProtocolFramesTest::burstLargerThanStagingBuffer()
{
    TestEnvironment env;
    Control control;
    control.CreateCommunication();
    WorkItemSink sink(control);
    // Packages 1 to 4 of 5: none is the last, so no request goes out.
    QByteArray burst;
    for (unsigned char no : {1, 2, 2, 3, 4})
        burst += Answer(0x020D, QByteArray(4096, static_cast<char>(no)), no, 5);
    burst += Answer(0x0202, "SN").left(7); // and the start of a frame yet to come
    QVERIFY(burst.size() > 3 * int(Control::STAGING_BUFFER_SIZE));
    control.ExpectAnswer(0x020D, 0);
    Deliver(*control.GetCommunication(), burst);
    QCOMPARE(sink.items.size(), 4);
    for (const QStringList &item : sink.items)
        QCOMPARE(item.size(), 1 + 256);
    QCOMPARE(Pending(*control.GetCommunication()).size(), 7);
    control.StartImportData();
    QCOMPARE(Pending(*control.GetCommunication()), QByteArray());
}

QTEST_GUILESS_MAIN(ProtocolFramesTest)
#include "tst_ProtocolFrames.moc"

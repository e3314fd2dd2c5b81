// Frames, CRC, frame scanning, answer decoding and the run's conversation, and
// the controller reading answers where the front received them.

#include "ComDeviceCommunication.h"
#include "CommunicationProcessControl.h"
#include "DatabaseRecords.h"
#include "DeviceFrameCodec.h"
#include "DeviceFrameScanner.h"
#include "DeviceLinkBytes.h"
#include "ImportConversation.h"
#include "MonitorFrame.h"
#include "OutstandingRequest.h"
#include "TestEnvironment.h"

#include <QTest>

namespace {

using Control = CommunicationProcessControl;
using Codec = DeviceFrameCodec;
using Scanner = DeviceFrameScanner;

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

// Scans as the controller does; each call as "count" with "F" for a frame, "D" for a damaged one.
QStringList ScanAll(const QByteArray &bytes)
{
    QStringList calls;
    for (QByteArray rest = bytes; !rest.isEmpty();) {
        const Scanner::Result scan = Scanner::Scan(Bytes(rest), Size(rest));
        calls << QString::number(scan.consumed) + (scan.found == Scanner::Found::Frame     ? "F"
                                                   : scan.found == Scanner::Found::Damaged ? "D"
                                                                                           : "");
        if (scan.consumed == 0)
            break;
        rest.remove(0, scan.consumed);
    }
    return calls;
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

// Stands in for the database service and the device: notes and frees what is handed over.
struct WorkItemSink : ImportConversation::Peer
{
    // The head ("type uuid", for a new patient "type uuid sn id read"), then the records.
    QVector<QStringList> items;
    QVector<QUuid> finishedPatients;
    QStringList requests; // "cmd:id"
    bool finished = false;

    void SendRequest(unsigned short cmd, int id) override
    {
        requests << QString::asprintf("%04x:%d", cmd, id);
    }
    void PatientFinished(QUuid *uuid) override
    {
        finishedPatients.append(*uuid);
        delete uuid;
    }
    void ConversationFinished() override { finished = true; }
    void HandOverWork(uint type, quintptr w, quintptr l) override
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

// A conversation fed single complete answers unless told otherwise.
struct Conversation : WorkItemSink
{
    ImportConversation run{*this};
    void Answer(unsigned short cmd, const QByteArray &payload, bool complete = true,
                unsigned char no = 1)
    {
        run.HandleAnswer(cmd, no, complete, Bytes(payload), Size(payload));
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
    void answersReadFromTheFront();
};

void ProtocolFramesTest::crcAndRequestFrames()
{
    QCOMPARE(Codec::CalculateCRCValue(nullptr, 9), 0u);
    const auto frame = [](unsigned short cmd, bool withSelector, int id) {
        return Codec::BuildRequestFrame(cmd, withSelector, id).toHex();
    };
    QCOMPARE(frame(0x0200, false, 0), QByteArray("aa190200010100007446ab43"));
    QCOMPARE(frame(0x0202, false, 0), QByteArray("aa19020201010000e65c6459"));
    QCOMPARE(frame(0x0210, false, 0), QByteArray("aa19021001010000f794a54f"));
    QCOMPARE(frame(0x020D, true, 5), "aa19020d010100110005" + QByteArray(30, '0') + "beca64b9");
    QCOMPARE(frame(0x0211, true, -1).mid(16, 4), QByteArray("0100"));
    QCOMPARE(quint32(Codec::MONITOR_PATIENT_ID), MONITOR_PSEUDO_PATIENT_ID);
}

// Scanning rules: noise, partial frames, false starts, lengths and damaged CRCs.
void ProtocolFramesTest::frameScanning()
{
    const QByteArray type = Answer(0x0200, "VTM-100");
    const QString typeSize = QString::number(type.size());
    QCOMPARE(Scanner::Scan(nullptr, 5).consumed, 0u);
    QCOMPARE(Scanner::Scan(Bytes(type), 0).consumed, 0u);
    // Noise before a frame goes with it; a partial header or frame waits.
    QCOMPARE(ScanAll(QByteArray::fromHex("0011") + type),
             QStringList{QString::number(Size(type) + 2) + "F"});
    QCOMPARE(ScanAll(type.left(5)), QStringList{"0"});
    QCOMPARE(ScanAll(type.chopped(1)), QStringList{"0"});
    // Without a start byte everything goes; bytes before a partial header go.
    const QByteArray noise = QByteArray::fromHex("00112233445566778899");
    QCOMPARE(ScanAll(noise), QStringList{"10"});
    QCOMPARE(ScanAll(noise + type.left(6)), (QStringList{"10", "0"}));
    // Two frames in one buffer: two calls, the first exactly one frame long.
    const QByteArray sn = Answer(0x0202, "SN-42");
    const QString snSize = QString::number(sn.size());
    QCOMPARE(ScanAll(type + sn), (QStringList{typeSize + "F", snSize + "F"}));
    // A wrong protocol byte is a false start.
    QByteArray falseStart = sn;
    falseStart[1] = 0x18;
    QCOMPARE(ScanAll(falseStart + sn), (QStringList{snSize, snSize + "F"}));
    // Length 0x1001 is skipped to the next start byte; 0x1000 is accepted.
    const QByteArray tooLong = Answer(0x020D, QByteArray(0x1001, '\x01'));
    const QByteArray full = Answer(0x020D, QByteArray(0x1000, '\x01'));
    QCOMPARE(ScanAll(tooLong + full),
             (QStringList{QString::number(tooLong.size()), QString::number(full.size()) + "F"}));
    const Scanner::Result whole = Scanner::Scan(Bytes(full), Size(full));
    QVERIFY(whole.cmd == 0x020D && whole.pkgNo == 1 && whole.pkgCount == 1);
    QVERIFY(whole.payloadLength == 0x1000 && whole.Payload() == Bytes(full) + 8);
    // A damaged CRC: only its start byte goes, with both values told; the good frame follows.
    QByteArray damaged = Answer(0x0200, "TYPE");
    const quint32 sent = MonitorFrame::Crc32(damaged.left(damaged.size() - 4)) ^ 0xFFu;
    damaged[damaged.size() - 1] = static_cast<char>(damaged.back() ^ 0xFF);
    QCOMPARE(ScanAll(damaged + sn),
             (QStringList{QString::number(damaged.size()) + "D", snSize + "F"}));
    const Scanner::Result bad = Scanner::Scan(Bytes(damaged), Size(damaged));
    QVERIFY(bad.crcSent == sent && bad.crcCalc == (sent ^ 0xFFu));
    QCOMPARE(Codec::HexDump(bad.frame, 6), QByteArray("BB 19 02 00 01 01 "));
}

void ProtocolFramesTest::recordPayloads()
{
    TestEnvironment env;
    Conversation c;
    // The UUID's first three fields are sent in memory (little-endian) order.
    c.Answer(0x0211, QByteArray::fromHex("000000112233445566778899aabbccddeeff"));
    const QUuid expected =
        QUuid::fromString(QStringLiteral("{33221100-5544-7766-8899-aabbccddeeff}"));
    QCOMPARE(c.run.GetCurrentPatientUuid(), expected);

    QByteArray nibp = QByteArray::fromHex("07e00304050607007b00500060004800");
    // Impossible stamps (month 13, hour 25, all zeros) are skipped, the rest kept.
    nibp += QByteArray::fromHex("07e10d01010101010000020003000400");
    nibp += QByteArray::fromHex("07e10c1f173b3a010000020003000400");
    nibp += QByteArray(15, '\x07'); // remainder
    QByteArray spo2 = QByteArray::fromHex("07e001021904050062004b00");
    spo2 += QByteArray::fromHex("07e001020304050062004b0001");
    QByteArray temp = QByteArray::fromHex("07e00102030405016d00") + QByteArray(10, '\0');
    temp += QByteArray::fromHex("07e00102030406017200") + QByteArray(5, '\0');
    c.Answer(0x020D, nibp);
    c.Answer(0x020E, spo2);
    c.Answer(0x020F, temp);
    c.Answer(0x020F, QByteArray(9, '\0'));

    // Work items for the patient and each kind (temperature: 35 bytes, two records).
    const auto item = [&](int type, const QStringList &records) {
        return QStringList{QStringLiteral("%1 %2").arg(type).arg(expected.toString())} + records;
    };
    QCOMPARE(c.items.size(), 4);
    QCOMPARE(c.items.at(1), item(DB_WORK_INSERT_NIBP_DATA, {"2016-03-04T05:06:07 123 80 96 72",
                                                            "2017-12-31T23:59:58 256 2 3 4"}));
    QCOMPARE(c.items.at(2), item(DB_WORK_INSERT_SPO2_DATA, {"2016-01-02T03:04:05 98 75"}));
    QCOMPARE(c.items.at(3), item(DB_WORK_INSERT_TEMP_DATA,
                                 {"2016-01-02T03:04:05 365", "2016-01-02T03:04:06 370"}));
    VerifyLogHas(env, {"BusinessLogic\\CommunicationProcessControl", "ParseNIBPDataPkg",
                       "ParseNIBPDataPkg, 1 record(s) with an impossible time stamp skipped",
                       "ParseSPO2DataPkg, 1 record(s)", "ParseTEMPDataPkg, 1 record(s)"});
    // Nine bytes hold no record: no work item, the patient is finished here.
    QCOMPARE(c.finishedPatients, QVector<QUuid>{expected});
    QCOMPARE(c.requests, (QStringList{"020d:0", "020e:0", "020f:0"}));
    QVERIFY(c.finished);
}

void ProtocolFramesTest::patientListAndUuid()
{
    TestEnvironment env;
    Conversation c;
    c.Answer(0x0202, QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"));
    QCOMPARE(c.run.GetDeviceSN(), QString("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"));
    // Byte 0 is not read; 0xC8 = 200 is skipped; -1 comes first.
    c.Answer(0x0210, QByteArray::fromHex("050102c803"));
    QCOMPARE(c.run.GetCurrentPatientID(), -1);
    QCOMPARE(c.run.GetPatientIdQueue(), (QVector<int>{1, 2, 3}));
    // A list over three packages, the second repeated after the last: joined in package order.
    c.Answer(0x0210, QByteArray::fromHex("020809"), false, 1);
    c.Answer(0x0210, QByteArray::fromHex("010b"), false, 3);
    c.Answer(0x0210, QByteArray::fromHex("010a"), true, 2);
    QCOMPARE(c.run.GetCurrentPatientID(), -1);
    QCOMPARE(c.run.GetPatientIdQueue(), (QVector<int>{8, 9, 10, 11}));
    QCOMPARE(c.requests, (QStringList{"0210:0", "0211:-1", "0211:-1"}));

    const QByteArray uuidBytes = QByteArray::fromHex("00000123456789abcdef0123456789abcdef");
    c.Answer(0x0211, uuidBytes);
    // The monitor's pseudo-patient, unread, under the serial number.
    const QString uuid = c.run.GetCurrentPatientUuid().toString();
    QCOMPARE(c.items,
             (QVector<QStringList>{{QStringLiteral("%1 %2 ABCDEFGHIJKLMNOPQRSTUVWXYZ01234 %3 0")
                                        .arg(DB_WORK_INSERT_NEW_PATIENT)
                                        .arg(uuid)
                                        .arg(MONITOR_PSEUDO_PATIENT_ID)}}));
    VerifyLogHas(env, {"emit NewDatabaseTask, the guid is:", uuid});

    // A cut UUID answer counts as no UUID: nothing filed under a mixed UUID.
    c.Answer(0x0211, uuidBytes.left(17));
    QVERIFY(c.run.GetCurrentPatientUuid().isNull());
    QCOMPARE(c.run.GetCurrentPatientID(), 8);
    QCOMPARE(c.items.size(), 1);
    QCOMPARE(c.requests.mid(3), (QStringList{"020d:-1", "0211:8"}));
    VerifyLogHas(env, {"ParseUuidDataPkg, incomplete uuid answer, length = 17"});
}

void ProtocolFramesTest::plugInAndOut()
{
    Control control;
    QStringList events;
    connect(&control, &Control::NewDeviceConnected, this, [&] { events << "connected"; });
    connect(&control, &Control::DeviceDisconnected, this, [&] { events << "disconnected"; });
    const auto plug = [&](int count, std::initializer_list<unsigned short> numbers) {
        auto *ports = new unsigned short[ComDeviceScanThread::kMaxPorts]();
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

// A run fed through the front's read buffer: damaged frames and error packages are
// logged and passed over; a burst is parsed whole, a package that comes twice counts
// once, and a list with a package missing is not complete. A new run drops what is left.
void ProtocolFramesTest::answersReadFromTheFront()
{
    TestEnvironment env;
    Control control;
    control.CreateCommunication();
    ComDeviceCommunication &front = *control.GetCommunication();
    QStringList requests;
    connect(&front, &ComDeviceCommunication::WriteComSig, this,
            [&](char *data, int) { requests << QByteArray(data + 2, 2).toHex(); });
    int items = 0;
    connect(&control, &Control::NewDatabaseTask, this, [&](uint type, quintptr w, quintptr l) {
        items += type == DB_WORK_INSERT_NIBP_DATA &&
                 reinterpret_cast<STU_DB_NIBP_DATA_LIST *>(l)->pNext->pNext; // whole packages
        WorkItemSink().HandOverWork(type, w, l);
    });
    control.StartImportData();
    QByteArray damaged = Answer(0x0200, "TYPE");
    damaged[damaged.size() - 1] = static_cast<char>(damaged.back() ^ 0xFF);
    Deliver(front, damaged + Answer(0x0200, "VTM-100") + Answer(0x0F00, {}) + Answer(0x0F01, {}) +
                       Answer(0x0333, "x") + Answer(0x0202, "SN-42"));
    Deliver(front, Answer(0x0210, QByteArray::fromHex("0107"), 1, 3) +
                       Answer(0x0210, QByteArray::fromHex("0109"), 3, 3));
    QCOMPARE(requests, (QStringList{"0200", "0202", "0210"}));
    Deliver(front, Answer(0x0210, QByteArray::fromHex("0108"), 2, 3) +
                       Answer(0x0211, QByteArray(2, '\0') + QByteArray(16, '\x11')));
    QCOMPARE(requests, (QStringList{"0200", "0202", "0210", "0211", "020d"}));
    VerifyLogHas(env, {"CalculateCRCValue, iCRCSend != iCRCCalc",
                       "    BB 19 02 00 01 01 00 04 54 59 50 45 \n", "    VTM-100\n", "    SN-42\n",
                       "    Received Unknown Error Package In the Device!\n",
                       "    Received CRC Error Package In the Device!\n",
                       "    Received Unsupport Package\n"});

    // Packages 1 to 4 of 5: none is the last, so no request goes out.
    QByteArray burst;
    for (unsigned char no : {1, 2, 2, 3, 4})
        burst += Answer(0x020D, QByteArray(4096, static_cast<char>(no)), no, 5);
    burst += Answer(0x0202, "SN").left(7); // and the start of a frame yet to come
    Deliver(front, burst);
    QCOMPARE(items, 4);
    QCOMPARE(requests.size(), 5);
    QCOMPARE(Pending(front).size(), 7);
    control.StartImportData();
    QCOMPARE(Pending(front), QByteArray());

    // An answer is complete once no package up to its last is missing, in any order.
    OutstandingRequest list;
    list.Start(0x0210, 0);
    QVERIFY(list.TakePackage(3) && list.TakePackage(1) && !list.TakePackage(1));
    QVERIFY(!list.IsComplete(3));
    QVERIFY(list.TakePackage(2) && list.IsComplete(3));
}

QTEST_GUILESS_MAIN(ProtocolFramesTest)
#include "tst_ProtocolFrames.moc"

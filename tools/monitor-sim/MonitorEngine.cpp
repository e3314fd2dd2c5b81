#include "MonitorEngine.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int MONITOR_ID = -1;
constexpr int UUID_PAYLOAD_SIZE = 18;
constexpr int SHORT_UUID_PAYLOAD_SIZE = 10;
constexpr int MAX_PACKAGES = 255;
constexpr int DEVICE_TYPE_LENGTH = 15;
constexpr int DEVICE_SN_LENGTH = 31;

void AppendTimeStamp(QByteArray &out, const QDateTime &time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    MonitorFrame::AppendU16(out, static_cast<std::uint16_t>(date.year()));
    out.append(static_cast<char>(date.month()));
    out.append(static_cast<char>(date.day()));
    out.append(static_cast<char>(clock.hour()));
    out.append(static_cast<char>(clock.minute()));
    out.append(static_cast<char>(clock.second()));
}

QByteArray Encode(const SimNibpRecord &r)
{
    QByteArray out;
    AppendTimeStamp(out, r.time);
    for (std::uint16_t value : {r.sys, r.dia, r.mean, r.pr})
        MonitorFrame::AppendU16(out, value);
    out.append('\0');
    return out;
}

QByteArray Encode(const SimSpo2Record &r)
{
    QByteArray out;
    AppendTimeStamp(out, r.time);
    MonitorFrame::AppendU16(out, r.spo2);
    MonitorFrame::AppendU16(out, r.pr);
    out.append('\0');
    return out;
}

QByteArray Encode(const SimTempRecord &r)
{
    QByteArray out;
    AppendTimeStamp(out, r.time);
    MonitorFrame::AppendU16(out, r.tenths);
    out.append('\0');
    return out;
}

// Splits records into packages on record boundaries, so that no package ends
// inside a record; an empty list is one empty package.
template <typename Record>
QVector<QByteArray> Packages(std::uint16_t cmd, const QVector<Record> &records, int recordSize,
                             int maxPayload)
{
    const int count = static_cast<int>(records.size());
    int perPackage = std::max(1, maxPayload / recordSize);
    perPackage = std::max(perPackage, (count + MAX_PACKAGES - 1) / MAX_PACKAGES);
    const int packageCount = std::max(1, (count + perPackage - 1) / perPackage);
    QVector<QByteArray> packages;
    for (int p = 0; p < packageCount; ++p) {
        QByteArray payload;
        const int end = std::min(count, (p + 1) * perPackage);
        for (int i = p * perPackage; i < end; ++i)
            payload.append(Encode(records.at(i)));
        packages.append(MonitorFrame::BuildAnswer(cmd, static_cast<unsigned char>(p + 1),
                                                  static_cast<unsigned char>(packageCount),
                                                  payload));
    }
    return packages;
}

int RecordSize(std::uint16_t cmd)
{
    if (cmd == MonitorFrame::CMD_NIBP)
        return 16;
    return cmd == MonitorFrame::CMD_SPO2 ? 12 : 10;
}

} // namespace

MonitorEngine::MonitorEngine(MonitorPatientSet patients, MonitorFaultPlan faults)
    : m_patients(std::move(patients)), m_faults(std::move(faults))
{
}

int MonitorEngine::PatientIdFromSelector(const QByteArray &selector)
{
    if (selector.size() < 2)
        return 0;
    if (selector.at(0) == 1)
        return MONITOR_ID;
    return static_cast<unsigned char>(selector.at(1));
}

void MonitorEngine::Receive(const QByteArray &bytes)
{
    m_input.append(bytes);
    MonitorFrame::Request request;
    while (!m_hangUp && MonitorFrame::TakeRequest(m_input, request))
        Answer(request);
}

QVector<QByteArray> MonitorEngine::TakeWrites()
{
    return std::exchange(m_writes, {});
}

void MonitorEngine::Answer(const MonitorFrame::Request &request)
{
    ++m_requestCount;
    if (!request.crcValid) {
        ++m_badRequestCount;
        if (m_trace)
            m_trace(QStringLiteral("request with a bad CRC"));
        Deliver({MonitorFrame::BuildAnswer(MonitorFrame::CMD_CRC_ERROR, 1, 1, {})});
        return;
    }
    const int patientId = PatientIdFromSelector(request.payload);
    m_requests.append(HandledRequest{request.cmd, patientId});
    MonitorFault fault;
    if (!m_held.isEmpty() && m_heldFor.cmd == request.cmd && m_heldFor.patientId == patientId)
        Deliver(std::exchange(m_held, {}));
    const bool faulty = m_faults.TakeFault(request.cmd, patientId, fault);
    if (m_trace) {
        m_trace(QStringLiteral("request 0x%1 patient %2%3")
                    .arg(request.cmd, 4, 16, QLatin1Char('0'))
                    .arg(patientId)
                    .arg(faulty ? QStringLiteral(" (fault)") : QString()));
    }
    if (faulty && fault == MonitorFault::Held) {
        m_held = AnswerPackages(request.cmd, patientId);
        m_heldFor = {request.cmd, patientId};
        return;
    }
    if (faulty) {
        Deliver(FaultyAnswer(fault, request.cmd, patientId));
        m_hangUp = fault == MonitorFault::HangUp;
        return;
    }
    Deliver(AnswerPackages(request.cmd, patientId));
}

QVector<QByteArray> MonitorEngine::FaultyAnswer(MonitorFault fault, std::uint16_t cmd,
                                                int patientId) const
{
    switch (fault) {
    case MonitorFault::CrcError:
    case MonitorFault::CrcErrorFirst: {
        QVector<QByteArray> packages = AnswerPackages(cmd, patientId);
        QByteArray &hit = fault == MonitorFault::CrcError ? packages.last() : packages.first();
        hit[hit.size() - 1] = static_cast<char>(hit.at(hit.size() - 1) ^ 0x5A);
        return packages;
    }
    case MonitorFault::UnknownError:
        return {MonitorFrame::BuildAnswer(MonitorFrame::CMD_UNKNOWN_ERROR, 1, 1, {})};
    case MonitorFault::CrcErrorReply:
        return {MonitorFrame::BuildAnswer(MonitorFrame::CMD_CRC_ERROR, 1, 1, {})};
    case MonitorFault::Silence:
    case MonitorFault::Held: // kept back by Answer()
        return {};
    case MonitorFault::ShortUuid:
        return {MonitorFrame::BuildAnswer(cmd, 1, 1,
                                          UuidPayload(patientId).left(SHORT_UUID_PAYLOAD_SIZE))};
    case MonitorFault::StrayByte: {
        QVector<QByteArray> packages = AnswerPackages(cmd, patientId);
        packages.append(QByteArray(1, '\x5A'));
        return packages;
    }
    case MonitorFault::SplitList: {
        // Each package leads with its own count byte, as the whole list does.
        const QByteArray ids = ListPayload().mid(1);
        const qsizetype third = (ids.size() + 2) / 3;
        QVector<QByteArray> packages;
        for (unsigned char no = 1; no <= 3; ++no) {
            const QByteArray part = ids.mid((no - 1) * third, third);
            packages.append(MonitorFrame::BuildAnswer(
                cmd, no, 3, QByteArray(1, static_cast<char>(part.size())) + part));
        }
        return packages;
    }
    case MonitorFault::BadStamps: {
        QVector<QByteArray> packages = AnswerPackages(cmd, patientId);
        const int size = RecordSize(cmd);
        QByteArray bad;
        for (const char *stamp : {"07e00d01080000", "07e0010119000a", "00000000000000"})
            bad += QByteArray::fromHex(stamp) + QByteArray(size - 7, '\x01');
        // Led into the first package (an answer of a few records keeps within
        // the largest payload).
        QByteArray &first = packages.first();
        const QByteArray payload =
            first.mid(MonitorFrame::HEADER_SIZE,
                      first.size() - MonitorFrame::HEADER_SIZE - MonitorFrame::CRC_SIZE);
        first = MonitorFrame::BuildAnswer(cmd, static_cast<unsigned char>(first.at(4)),
                                          static_cast<unsigned char>(first.at(5)), bad + payload);
        return packages;
    }
    case MonitorFault::ShortAnswer:
        return {MonitorFrame::BuildAnswer(cmd, 1, 1, QByteArray(RecordSize(cmd) - 1, '\x07'))};
    case MonitorFault::HangUp: {
        QByteArray all;
        for (const QByteArray &package : AnswerPackages(cmd, patientId))
            all.append(package);
        return {all.left(std::max<qsizetype>(1, all.size() / 2))};
    }
    }
    return {};
}

void MonitorEngine::Deliver(const QVector<QByteArray> &packages)
{
    QByteArray burst;
    for (const QByteArray &package : packages) {
        const QByteArray bytes = m_faults.noise ? Noise() + package : package;
        if (m_faults.delivery == MonitorDelivery::Burst) {
            burst.append(bytes);
        } else if (m_faults.delivery == MonitorDelivery::ByteByByte) {
            for (char byte : bytes)
                m_writes.append(QByteArray(1, byte));
        } else {
            m_writes.append(bytes);
        }
    }
    if (!burst.isEmpty())
        m_writes.append(burst);
}

// Line noise: bytes that are no start byte, and false starts the program
// must step over at once (a wrong protocol byte, or a length above 4096).
QByteArray MonitorEngine::Noise()
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> count(1, 6);
    QByteArray noise;
    const int n = count(m_noiseRandom);
    for (int i = 0; i < n; ++i) {
        int value = byte(m_noiseRandom);
        if (value == MonitorFrame::ANSWER_START)
            value = 0x00;
        noise.append(static_cast<char>(value));
    }
    noise.append(static_cast<char>(MonitorFrame::ANSWER_START));
    noise.append(static_cast<char>(0x42)); // wrong protocol byte
    const QByteArray longHeader = QByteArray::fromHex("bb1902000101ffff");
    noise.append(longHeader); // length 0xFFFF: too long
    return noise;
}

QVector<QByteArray> MonitorEngine::AnswerPackages(std::uint16_t cmd, int patientId) const
{
    using namespace MonitorFrame;
    switch (cmd) {
    case CMD_DEVICE_TYPE:
        return {BuildAnswer(cmd, 1, 1, TextPayload(m_patients.deviceType, DEVICE_TYPE_LENGTH))};
    case CMD_DEVICE_SN:
        return {BuildAnswer(cmd, 1, 1, TextPayload(m_patients.serialNumber, DEVICE_SN_LENGTH))};
    case CMD_PATIENT_ID_LIST:
        return {BuildAnswer(cmd, 1, 1, ListPayload())};
    case CMD_PATIENT_UUID:
        return {BuildAnswer(cmd, 1, 1, UuidPayload(patientId))};
    case CMD_NIBP:
    case CMD_SPO2:
    case CMD_TEMP:
        return RecordPackages(cmd, patientId);
    default:
        return {BuildAnswer(CMD_UNKNOWN_ERROR, 1, 1, {})};
    }
}

QByteArray MonitorEngine::TextPayload(const QString &text, int maxLength) const
{
    return text.toLatin1().left(maxLength);
}

QByteArray MonitorEngine::ListPayload() const
{
    const QVector<int> ids = m_patients.ListedIds();
    QByteArray payload(1, static_cast<char>(ids.size()));
    for (int id : ids)
        payload.append(static_cast<char>(id));
    return payload;
}

// Two bytes not read by the program, then the UUID in memory order: data1,
// data2 and data3 least significant byte first, then data4.
QByteArray MonitorEngine::UuidPayload(int patientId) const
{
    QByteArray payload(UUID_PAYLOAD_SIZE, '\0');
    const SimPatient *patient = m_patients.Find(patientId);
    if (!patient || patient->uuid.isNull())
        return payload;
    const QUuid &u = patient->uuid;
    for (int i = 0; i < 4; ++i)
        payload[2 + i] = static_cast<char>((u.data1 >> (8 * i)) & 0xFF);
    for (int i = 0; i < 2; ++i) {
        payload[6 + i] = static_cast<char>((u.data2 >> (8 * i)) & 0xFF);
        payload[8 + i] = static_cast<char>((u.data3 >> (8 * i)) & 0xFF);
    }
    for (int i = 0; i < 8; ++i)
        payload[10 + i] = static_cast<char>(u.data4[i]);
    return payload;
}

QVector<QByteArray> MonitorEngine::RecordPackages(std::uint16_t cmd, int patientId) const
{
    static const SimPatient nobody;
    const SimPatient *found = m_patients.Find(patientId);
    const SimPatient &patient = found ? *found : nobody;
    const int maxPayload = std::clamp(m_faults.packagePayload, 16, MonitorFrame::MAX_PAYLOAD);
    if (cmd == MonitorFrame::CMD_NIBP)
        return Packages(cmd, patient.nibp, 16, maxPayload);
    if (cmd == MonitorFrame::CMD_SPO2)
        return Packages(cmd, patient.spo2, 12, maxPayload);
    return Packages(cmd, patient.temp, 10, maxPayload);
}

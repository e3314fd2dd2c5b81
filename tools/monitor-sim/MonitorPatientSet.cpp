#include "MonitorPatientSet.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <random>

namespace {

constexpr int MONITOR_ID = -1;
constexpr int MAX_LISTED_PATIENTS = 100;
const QString TIME_FORMAT = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

QUuid RandomUuid(std::mt19937 &random)
{
    std::uniform_int_distribution<int> byte(0, 255);
    unsigned char b[16];
    for (unsigned char &value : b)
        value = static_cast<unsigned char>(byte(random));
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40); // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80); // variant 1
    return QUuid::fromRfc4122(QByteArrayView(b, 16));
}

SimPatient GeneratePatient(int id, int records, const GenerationOptions &options,
                           std::mt19937 &random)
{
    SimPatient patient;
    patient.id = id;
    patient.uuid = RandomUuid(random);
    auto value = [&random](int low, int high) {
        return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(low, high)(random));
    };
    // Each patient's series starts a little later so that patients differ.
    const QDateTime first = options.start.addSecs(static_cast<qint64>(id + 1) * 37);
    for (int i = 0; i < records; ++i) {
        const QDateTime time = first.addSecs(static_cast<qint64>(i) * options.intervalMinutes * 60);
        SimNibpRecord nibp{time, value(90, 170), value(50, 100), 0, value(45, 130)};
        nibp.mean = static_cast<std::uint16_t>((nibp.sys + 2 * nibp.dia) / 3);
        patient.nibp.append(nibp);
        patient.spo2.append(SimSpo2Record{time.addSecs(5), value(85, 100), value(45, 130)});
        patient.temp.append(SimTempRecord{time.addSecs(10), value(350, 410)});
    }
    return patient;
}

QJsonArray NibpToJson(const QVector<SimNibpRecord> &records)
{
    QJsonArray array;
    for (const SimNibpRecord &r : records)
        array.append(QJsonArray{r.time.toString(TIME_FORMAT), r.sys, r.dia, r.mean, r.pr});
    return array;
}

QJsonArray Spo2ToJson(const QVector<SimSpo2Record> &records)
{
    QJsonArray array;
    for (const SimSpo2Record &r : records)
        array.append(QJsonArray{r.time.toString(TIME_FORMAT), r.spo2, r.pr});
    return array;
}

QJsonArray TempToJson(const QVector<SimTempRecord> &records)
{
    QJsonArray array;
    for (const SimTempRecord &r : records)
        array.append(QJsonArray{r.time.toString(TIME_FORMAT), r.tenths / 10.0});
    return array;
}

QDateTime TimeAt(const QJsonArray &row)
{
    return QDateTime::fromString(row.at(0).toString(), TIME_FORMAT);
}

std::uint16_t U16At(const QJsonArray &row, int index)
{
    return static_cast<std::uint16_t>(row.at(index).toInt());
}

bool PatientFromJson(const QJsonObject &object, SimPatient &patient, QString *error)
{
    patient.id = object.value(QStringLiteral("id")).toInt();
    const QString uuidText = object.value(QStringLiteral("uuid")).toString();
    patient.uuid = uuidText.isEmpty() ? QUuid() : QUuid::fromString(uuidText);
    if (!uuidText.isEmpty() && patient.uuid.isNull()) {
        *error = QStringLiteral("patient %1: bad uuid \"%2\"").arg(patient.id).arg(uuidText);
        return false;
    }
    for (const QJsonValue &v : object.value(QStringLiteral("nibp")).toArray()) {
        const QJsonArray row = v.toArray();
        patient.nibp.append(
            SimNibpRecord{TimeAt(row), U16At(row, 1), U16At(row, 2), U16At(row, 3), U16At(row, 4)});
    }
    for (const QJsonValue &v : object.value(QStringLiteral("spo2")).toArray()) {
        const QJsonArray row = v.toArray();
        patient.spo2.append(SimSpo2Record{TimeAt(row), U16At(row, 1), U16At(row, 2)});
    }
    for (const QJsonValue &v : object.value(QStringLiteral("temp")).toArray()) {
        const QJsonArray row = v.toArray();
        const double degrees = row.at(1).toDouble();
        patient.temp.append(
            SimTempRecord{TimeAt(row), static_cast<std::uint16_t>(qRound(degrees * 10.0))});
    }
    return true;
}

} // namespace

MonitorPatientSet MonitorPatientSet::Generate(const GenerationOptions &options)
{
    MonitorPatientSet set;
    std::mt19937 random(options.seed);
    set.serialNumber = QStringLiteral("VT%1").arg(options.seed, 10, 10, QLatin1Char('0'));
    set.patients.append(GeneratePatient(MONITOR_ID, options.monitorRecords, options, random));
    const int count = qBound(0, options.patientCount, MAX_LISTED_PATIENTS);
    for (int id = 0; id < count; ++id)
        set.patients.append(GeneratePatient(id, options.recordsPerKind, options, random));
    return set;
}

bool MonitorPatientSet::LoadFromFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("%1: %2").arg(path, parseError.errorString());
        return false;
    }
    const QJsonObject root = document.object();
    deviceType = root.value(QStringLiteral("deviceType")).toString(deviceType);
    serialNumber = root.value(QStringLiteral("serialNumber")).toString(serialNumber);
    patients.clear();
    for (const QJsonValue &value : root.value(QStringLiteral("patients")).toArray()) {
        SimPatient patient;
        if (!PatientFromJson(value.toObject(), patient, error))
            return false;
        patients.append(patient);
    }
    return true;
}

bool MonitorPatientSet::SaveToFile(const QString &path, QString *error) const
{
    QJsonArray array;
    for (const SimPatient &p : patients) {
        array.append(
            QJsonObject{{QStringLiteral("id"), p.id},
                        {QStringLiteral("uuid"), p.uuid.isNull() ? QString() : p.uuid.toString()},
                        {QStringLiteral("nibp"), NibpToJson(p.nibp)},
                        {QStringLiteral("spo2"), Spo2ToJson(p.spo2)},
                        {QStringLiteral("temp"), TempToJson(p.temp)}});
    }
    const QJsonObject root{{QStringLiteral("deviceType"), deviceType},
                           {QStringLiteral("serialNumber"), serialNumber},
                           {QStringLiteral("patients"), array}};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

const SimPatient *MonitorPatientSet::Find(int id) const
{
    for (const SimPatient &p : patients) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

SimPatient *MonitorPatientSet::Find(int id)
{
    for (SimPatient &p : patients) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

QVector<int> MonitorPatientSet::ListedIds() const
{
    QVector<int> ids;
    for (const SimPatient &p : patients) {
        if (p.id != MONITOR_ID)
            ids.append(p.id);
    }
    return ids;
}

int MonitorPatientSet::RecordCount() const
{
    int count = 0;
    for (const SimPatient &p : patients) {
        if (!p.uuid.isNull())
            count += static_cast<int>(p.nibp.size() + p.spo2.size() + p.temp.size());
    }
    return count;
}

#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <QVector>

#include <cstdint>

struct SimNibpRecord
{
    QDateTime time;
    std::uint16_t sys = 0;
    std::uint16_t dia = 0;
    std::uint16_t mean = 0;
    std::uint16_t pr = 0;
};

struct SimSpo2Record
{
    QDateTime time;
    std::uint16_t spo2 = 0;
    std::uint16_t pr = 0;
};

struct SimTempRecord
{
    QDateTime time;
    std::uint16_t tenths = 0; // 365 = 36.5 degrees
};

// One patient as the monitor keeps it; id -1 is the monitor's own entry.
struct SimPatient
{
    int id = 0;
    QUuid uuid; // null: the monitor has nothing for this id
    QVector<SimNibpRecord> nibp;
    QVector<SimSpo2Record> spo2;
    QVector<SimTempRecord> temp;
};

struct GenerationOptions
{
    int patientCount = 5;    // listed ids 0 .. count-1 (at most 100)
    int recordsPerKind = 20; // for every listed patient
    int monitorRecords = 20; // for the monitor's own entry (id -1)
    QDateTime start = QDateTime(QDate(2016, 1, 1), QTime(8, 0));
    int intervalMinutes = 15;
    std::uint32_t seed = 1;
};

// What the simulated monitor holds: its type, serial number and patients.
class MonitorPatientSet
{
public:
    QString deviceType = QStringLiteral("VTM-100");
    QString serialNumber = QStringLiteral("VT0000000001");
    QVector<SimPatient> patients; // the monitor's own entry (-1) first, if any

    static MonitorPatientSet Generate(const GenerationOptions &options);

    bool LoadFromFile(const QString &path, QString *error);
    bool SaveToFile(const QString &path, QString *error) const;

    const SimPatient *Find(int id) const;
    SimPatient *Find(int id);
    // The ids the patient list answer carries (every id but -1, in order).
    QVector<int> ListedIds() const;
    // Records of all kinds over all patients with a UUID.
    int RecordCount() const;
};

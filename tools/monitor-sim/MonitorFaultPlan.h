#pragma once

#include <QString>
#include <QVector>

#include <cstdint>

enum class MonitorFault
{
    CrcError,      // the answer's last package goes out with a damaged CRC
    CrcErrorFirst, // the answer's first package goes out with a damaged CRC
    UnknownError,  // the answer is replaced by an error package 0x0F00
    CrcErrorReply, // the answer is replaced by an error package 0x0F01
    Silence,       // the request is not answered
    ShortUuid,     // the UUID answer carries only part of the UUID
    HangUp,        // half of the answer goes out, then the line is hung up
    StrayByte,     // the answer, then one stray byte as a write of its own
    SplitList,     // the patient id list goes out in three packages
    BadStamps,     // records stamped month 13, hour 25 and all zeros lead the answer
    ShortAnswer,   // a records answer of fewer bytes than one record
    Held,          // the answer waits until the request comes again, then both go out
};

enum class MonitorDelivery
{
    PerPackage, // one write per package
    Burst,      // all packages of an answer in one write
    ByteByByte, // one write per byte, with a pause between bytes
};

// Which request a fault hits: a command, optionally only for one patient id.
struct MonitorFaultRule
{
    MonitorFault fault = MonitorFault::Silence;
    std::uint16_t cmd = 0;
    bool anyPatient = true;
    int patientId = 0;
    int remaining = 1; // a fault hits this many matching requests, then is spent
};

class MonitorFaultPlan
{
public:
    QVector<MonitorFaultRule> rules;
    MonitorDelivery delivery = MonitorDelivery::PerPackage;
    bool noise = false; // noise and false start bytes before every package
    int packagePayload = 4096;

    // "kind", "kind:id", either with "*n" to hit n matching requests; kind one
    // of type, sn, list, uuid, nibp, spo2, temp.
    bool AddRule(MonitorFault fault, const QString &selector, QString *error);
    // The fault for a request, if any; a hit uses it up.
    bool TakeFault(std::uint16_t cmd, int patientId, MonitorFault &fault);

    static bool CommandForKind(const QString &kind, std::uint16_t &cmd);
};

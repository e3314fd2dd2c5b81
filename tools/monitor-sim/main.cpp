// vantrel-monitor-sim: plays the handheld monitor on a pseudo-terminal (or a
// serial device) so that imports can be tried without one.

#include "MonitorEngine.h"
#include "MonitorLink.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int)
{
    g_stop = true;
}

struct FaultOption
{
    const char *name;
    MonitorFault fault;
    const char *help;
};

const FaultOption FAULT_OPTIONS[] = {
    {"crc-error", MonitorFault::CrcError, "Damage the CRC of the answer to <request>."},
    {"crc-error-first", MonitorFault::CrcErrorFirst,
     "Damage the CRC of the first package of the answer to <request>."},
    {"error-0f00", MonitorFault::UnknownError, "Answer <request> with error package 0x0F00."},
    {"error-0f01", MonitorFault::CrcErrorReply, "Answer <request> with error package 0x0F01."},
    {"silence", MonitorFault::Silence, "Leave <request> unanswered."},
    {"hang-up", MonitorFault::HangUp, "Send half the answer to <request>, then hang up."},
    {"stray-byte", MonitorFault::StrayByte, "Send one stray byte after the answer to <request>."},
    {"split-list", MonitorFault::SplitList, "Send the patient id list in three packages."},
    {"bad-stamps", MonitorFault::BadStamps,
     "Lead the records of <request> with three of impossible time stamps."},
    {"short-answer", MonitorFault::ShortAnswer,
     "Answer <request> with fewer bytes than one record."},
    {"held", MonitorFault::Held,
     "Hold the answer to <request> back until it is asked again, then send both."},
};

void AddOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        "Plays the vital-signs monitor on a pseudo-terminal or a serial device.\n"
        "<request> is type, sn, list, uuid, nibp, spo2 or temp, optionally followed by\n"
        ":<patient id> (for example nibp:3 or uuid:-1). Each fault hits the first\n"
        "matching request only, so a repeated request is answered well; *<n> after\n"
        "<request> makes it hit the first n (crc-error nibp:1*3).");
    parser.addHelpOption();
    parser.addPositionalArgument(
        "device", "Serial device to serve instead of a new pseudo-terminal.", "[device]");
    parser.addOptions({
        {"patients", "Number of listed patients, ids 0..n-1 (at most 100).", "n", "5"},
        {"records", "Records of each kind per listed patient.", "n", "20"},
        {"monitor-records", "Records of each kind of the monitor's own entry (id -1).", "n"},
        {"start", "Time of the first record, yyyy-MM-ddTHH:mm:ss.", "time", "2016-01-01T08:00:00"},
        {"interval", "Minutes between a patient's records.", "minutes", "15"},
        {"seed", "Seed of the generated patients.", "n", "1"},
        {"set", "Read the patient set from a JSON file instead of generating it.", "file"},
        {"write-set", "Write the patient set to a JSON file and exit.", "file"},
        {"device-type", "Device type text (up to 15 characters).", "text"},
        {"serial", "Serial number (up to 31 characters).", "text"},
        {"null-uuid", "Give patient <id> a null UUID (nothing stored for it).", "id"},
        {"short-uuid", "Answer the UUID request of patient <id> with a cut UUID.", "id"},
        {"package-size", "Largest payload of one package, 16..4096.", "bytes", "4096"},
        {"noise", "Put noise and false start bytes before every package."},
        {"burst", "Send all packages of an answer in one write."},
        {"byte-by-byte", "Send answers one byte at a time."},
        {"byte-delay", "Pause after each byte with --byte-by-byte.", "us", "1000"},
        {"line-rate", "Pace the answers to 115200 baud, 8N1."},
        {"verbose", "Report each request on standard error."},
    });
    for (const FaultOption &option : FAULT_OPTIONS)
        parser.addOption({option.name, option.help, "request"});
}

bool ReadInt(const QCommandLineParser &parser, const char *name, int &value)
{
    bool ok = true;
    value = parser.value(name).toInt(&ok);
    if (!ok)
        std::fprintf(stderr, "--%s needs a number\n", name);
    return ok;
}

bool BuildPatients(const QCommandLineParser &parser, MonitorPatientSet &set)
{
    if (parser.isSet("set")) {
        QString error;
        if (!set.LoadFromFile(parser.value("set"), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
    } else {
        GenerationOptions options;
        int seed = 1;
        if (!ReadInt(parser, "patients", options.patientCount) ||
            !ReadInt(parser, "records", options.recordsPerKind) ||
            !ReadInt(parser, "interval", options.intervalMinutes) || !ReadInt(parser, "seed", seed))
            return false;
        options.monitorRecords = options.recordsPerKind;
        if (parser.isSet("monitor-records") &&
            !ReadInt(parser, "monitor-records", options.monitorRecords))
            return false;
        options.seed = static_cast<std::uint32_t>(seed);
        options.start = QDateTime::fromString(parser.value("start"), Qt::ISODate);
        if (!options.start.isValid()) {
            std::fprintf(stderr, "--start needs yyyy-MM-ddTHH:mm:ss\n");
            return false;
        }
        set = MonitorPatientSet::Generate(options);
    }
    if (parser.isSet("device-type"))
        set.deviceType = parser.value("device-type");
    if (parser.isSet("serial"))
        set.serialNumber = parser.value("serial");
    if (parser.isSet("null-uuid")) {
        SimPatient *patient = set.Find(parser.value("null-uuid").toInt());
        if (patient)
            patient->uuid = QUuid();
    }
    return true;
}

bool BuildFaults(const QCommandLineParser &parser, MonitorFaultPlan &plan)
{
    QString error;
    for (const FaultOption &option : FAULT_OPTIONS) {
        for (const QString &selector : parser.values(option.name)) {
            if (!plan.AddRule(option.fault, selector, &error)) {
                std::fprintf(stderr, "--%s: %s\n", option.name, qPrintable(error));
                return false;
            }
        }
    }
    if (parser.isSet("short-uuid") &&
        !plan.AddRule(MonitorFault::ShortUuid, "uuid:" + parser.value("short-uuid"), &error)) {
        std::fprintf(stderr, "--short-uuid: %s\n", qPrintable(error));
        return false;
    }
    if (parser.isSet("burst"))
        plan.delivery = MonitorDelivery::Burst;
    if (parser.isSet("byte-by-byte"))
        plan.delivery = MonitorDelivery::ByteByByte;
    plan.noise = parser.isSet("noise");
    return ReadInt(parser, "package-size", plan.packagePayload);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vantrel-monitor-sim");
    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(app);

    MonitorPatientSet patients;
    MonitorFaultPlan faults;
    if (!BuildPatients(parser, patients) || !BuildFaults(parser, faults))
        return 2;
    if (parser.isSet("write-set")) {
        QString error;
        if (!patients.SaveToFile(parser.value("write-set"), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }

    MonitorEngine engine(patients, faults);
    if (parser.isSet("verbose")) {
        engine.SetTrace(
            [](const QString &line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
    }
    MonitorLink::Pacing pacing;
    if (!ReadInt(parser, "byte-delay", pacing.byteDelayUs))
        return 2;
    pacing.lineRate = parser.isSet("line-rate");
    MonitorLink link(engine, pacing);
    QString error;
    const QStringList positional = parser.positionalArguments();
    const bool opened = positional.isEmpty() ? link.OpenPseudoTerminal(&error)
                                             : link.OpenDevice(positional.first(), &error);
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("%s\n", qPrintable(link.PortPath()));
    std::fprintf(stderr, "Serving %d patients (%d records) as %s, serial number %s. Ctrl+C ends.\n",
                 static_cast<int>(patients.ListedIds().size()), patients.RecordCount(),
                 qPrintable(patients.deviceType), qPrintable(patients.serialNumber));
    std::fflush(stdout);
    link.Run(&g_stop);
    if (link.HasHungUp())
        std::fprintf(stderr, "Hung up after %d requests.\n", link.RequestCount());
    return 0;
}

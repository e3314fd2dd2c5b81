// Times a full import from the simulated monitor at full speed over a
// pseudo-terminal, through the controller, the device link and the database
// service into a SQLite file, and compares it with the serial line's rate.
//
//   vm_import_benchmark [patients] [records per kind]   (default 100 and 1000)

#include "ImportTestRig.h"
#include "LocalTimeZone.h"
#include "SqliteLibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr double LINE_BYTES_PER_SECOND = 11520.0; // 115200 baud, 8N1
constexpr double NIBP_RECORD_BYTES = 16.0;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Result
{
    double cpuSeconds = 0; // all threads, the simulator's included
    bool ok = false;
    double seconds = 0;         // until every record is in the database
    double answeredSeconds = 0; // until the last answer was handled
    long long records = 0;
    long long lineBytes = 0;
};

Result RunImport(const MonitorPatientSet &set, bool outLog)
{
    Result result;
    ImportTestRig rig(false, outLog);
    rig.waitMs = 600000;
    if (!rig.Plug(set))
        return result;
    QElapsedTimer timer;
    // The run ends when its last answer is handled; ImportDataFinished waits for the store.
    QObject::connect(&rig.Control(), &CommunicationProcessControl::ImportRunEnded, &rig, [&] {
        result.answeredSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    });
    const double cpuBefore = CpuSeconds();
    timer.start();
    const bool imported = rig.Import();
    result.cpuSeconds = CpuSeconds() - cpuBefore;
    result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    result.lineBytes = rig.Link().BytesWritten();
    result.records = set.RecordCount();
    QString why;
    result.ok = imported && rig.StoredExactly(set, {}, &why);
    if (!result.ok)
        std::fprintf(stderr, "import failed: %s\n", qPrintable(why));
    return result;
}

void Report(const char *name, const Result &r)
{
    const double recordsPerSecond = static_cast<double>(r.records) / r.seconds;
    const double lineSeconds = static_cast<double>(r.lineBytes) / LINE_BYTES_PER_SECOND;
    std::printf("%s: %lld records, %lld bytes on the line (the line would need %.0f s)\n", name,
                r.records, r.lineBytes, lineSeconds);
    std::printf("  all stored after  %6.2f s: %7.0f records/s, %6.1fx the line, %6.1fx 720 NIBP "
                "records/s\n",
                r.seconds, recordsPerSecond, lineSeconds / r.seconds,
                recordsPerSecond / (LINE_BYTES_PER_SECOND / NIBP_RECORD_BYTES));
    std::printf("  processor time     %6.2f s (all threads, simulator included): %6.1fx the line\n",
                r.cpuSeconds, lineSeconds / r.cpuSeconds);
    std::printf("  last answer after %6.2f s: %6.1fx the line (protocol side alone)\n",
                r.answeredSeconds, lineSeconds / r.answeredSeconds);
}

} // namespace

int main(int argc, char *argv[])
{
    LocalTimeZone::Pin(); // as the program does
    SqliteLibrary::Configure();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    GenerationOptions options;
    options.patientCount = args.size() > 1 ? args.at(1).toInt() : 100;
    options.recordsPerKind = args.size() > 2 ? args.at(2).toInt() : 1000;
    options.monitorRecords = 0;
    options.intervalMinutes = 1;
    const MonitorPatientSet set = MonitorPatientSet::Generate(options);
    std::printf("%d patients x 3 kinds x %d records\n", options.patientCount,
                options.recordsPerKind);

    const Result quiet = RunImport(set, false);
    if (!quiet.ok)
        return 1;
    Report("log off", quiet);
    const Result logged = RunImport(set, true);
    if (!logged.ok)
        return 1;
    Report("log on", logged);
    return 0;
}

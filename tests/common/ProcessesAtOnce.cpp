#include "ProcessesAtOnce.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const char *const kPartVariable = "VANTREL_TEST_PART";
const int kTimeout = 60000;

} // namespace

QStringList ProcessesAtOnce::Run(const QString &part, const QList<QStringList> &arguments)
{
    qputenv(kPartVariable, part.toUtf8());
    std::vector<std::unique_ptr<QProcess>> copies;
    for (const QStringList &list : arguments) {
        copies.push_back(std::make_unique<QProcess>());
        copies.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        copies.back()->start(QCoreApplication::applicationFilePath(), list);
    }
    qunsetenv(kPartVariable);
    // Every copy is ready before any is let go.
    for (auto &copy : copies) {
        while (!copy->canReadLine() && copy->waitForReadyRead(kTimeout)) {
        }
        copy->readLine();
    }
    QStringList outputs;
    for (auto &copy : copies)
        copy->write("go\n");
    for (auto &copy : copies) {
        const bool ended = copy->waitForFinished(kTimeout) &&
                           copy->exitStatus() == QProcess::NormalExit && copy->exitCode() == 0;
        outputs << (ended ? QString::fromUtf8(copy->readAllStandardOutput()) : QString());
    }
    return outputs;
}

QString ProcessesAtOnce::Part()
{
    return qEnvironmentVariable(kPartVariable);
}

void ProcessesAtOnce::ReadyAndWait()
{
    std::puts("ready");
    std::fflush(stdout);
    char line[8];
    if (!std::fgets(line, sizeof line, stdin))
        std::exit(1);
}

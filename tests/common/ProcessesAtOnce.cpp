#include "ProcessesAtOnce.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const char *const kPartVariable = "VANTREL_TEST_PART";
const QByteArray kReady = QByteArrayLiteral("ready\n");
const int kTimeout = 60000;

} // namespace

QStringList ProcessesAtOnce::Run(const QString &part, const QList<QStringList> &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kPartVariable), part);
    std::vector<std::unique_ptr<QProcess>> copies;
    for (const QStringList &list : arguments) {
        copies.push_back(std::make_unique<QProcess>());
        copies.back()->setProcessEnvironment(environment);
        copies.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        copies.back()->start(QCoreApplication::applicationFilePath(), list);
    }
    // Every copy is ready before any is let go.
    for (auto &copy : copies) {
        while (copy->bytesAvailable() < kReady.size() && copy->waitForReadyRead(kTimeout)) {
        }
        copy->read(kReady.size());
    }
    for (auto &copy : copies)
        copy->write("go\n");
    QStringList outputs;
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
    std::fputs(kReady.constData(), stdout);
    std::fflush(stdout);
    char line[8];
    if (!std::fgets(line, sizeof line, stdin))
        std::exit(1);
}

#include "PatientData.h"
#include "TestEnvironment.h"
#include "quarvelpcsoftware.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextStream>
#include <QThread>

#include <functional>

namespace {

bool WaitFor(const std::function<bool()> &condition, int milliseconds = 10000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void Settle(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

// mainwindow_screenshots <folder>: the Desktop tab with the first demo patient
// selected, and the Settings tab, as mainwindow-desktop.png and
// mainwindow-settings.png.
int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    application.setStyleSheet(QObject::tr("QObject{font-family:Arial;}"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTextStream err(stderr);

    TestEnvironment environment(false);
    QuarvelPCSoftware window;
    window.show();
    QTableWidget *table = window.Form().PatientListTable;
    if (!WaitFor([table] { return table->rowCount() >= 2; })) {
        err << "the patient list did not fill\n";
        return 1;
    }
    table->selectRow(0);
    WaitFor([] { return PatientData::GetInstance()->GetTEMPDataList() != nullptr; });
    Settle(500);
    bool ok = window.grab().save(folder + QStringLiteral("/mainwindow-desktop.png"));
    window.Form().tabWidget->setCurrentIndex(1);
    Settle(300);
    ok = window.grab().save(folder + QStringLiteral("/mainwindow-settings.png")) && ok;
    return ok ? 0 : 1;
}

#include "MergePatientDataDialog.h"
#include "PatientData.h"
#include "TestEnvironment.h"
#include "quarvelpcsoftware.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTextStream>
#include <QThread>
#include <QToolButton>

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

// What the screen shows over the window, dialogs on top included (needs a
// real X server; the offscreen platform grabs nothing but the window).
QPixmap GrabScreenOver(QWidget &window)
{
    const QRect area = window.frameGeometry();
    QPixmap shot = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    return shot.isNull() ? window.grab() : shot;
}

// Three look-alikes of the current patient, differing here and there.
STU_DB_PATIENT_LIST *LookAlikes(const STU_DB_PATIENT_LIST &current)
{
    STU_DB_PATIENT_LIST *head = nullptr;
    for (int i = 3; i > 0; --i) {
        STU_DB_PATIENT_LIST *other = CopyRecord(current);
        other->PatientID = QUuid::createUuid();
        other->IdInDevice = quint32(i);
        other->Age = current.Age + i - 1;
        if (i == 2)
            SetRecordText(other->Mobile, QString());
        other->pNext = head;
        head = other;
    }
    return head;
}

} // namespace

// mainwindow_screenshots <folder> [WxH ...]: the Desktop tab with the first
// demo patient selected, at each size (default 1920x1080 and 1024x768), on
// the Patient, Table and Trend pages and with the merge dialog open, as
// mainwindow-<W>x<H>-<page>.png, and the Settings tab as mainwindow-settings.png.
int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    application.setStyleSheet(QObject::tr("QObject{font-family:Arial;}"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QStringList sizes;
    for (int i = 2; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]);
    if (sizes.isEmpty())
        sizes = QStringList{QStringLiteral("1920x1080"), QStringLiteral("1024x768")};
    QTextStream err(stderr);

    TestEnvironment environment(false);
    QuarvelPCSoftware window;
    window.show();
    QTableView *table = window.Form().PatientListTable;
    if (!WaitFor([table] { return table->model()->rowCount() >= 2; })) {
        err << "the patient list did not fill\n";
        return 1;
    }
    table->selectRow(0);
    WaitFor([] { return PatientData::GetInstance()->GetTEMPDataList() != nullptr; });
    Settle(500);

    bool ok = true;
    const QList<QToolButton *> pages = {window.Form().PatientInfoToolButton,
                                        window.Form().TableToolButton,
                                        window.Form().TrendToolButton};
    const QStringList pageNames = {QStringLiteral("patient"), QStringLiteral("table"),
                                   QStringLiteral("trend")};
    for (const QString &size : sizes) {
        const QStringList wh = size.split(QLatin1Char('x'));
        window.setGeometry(0, 0, wh.value(0).toInt(), wh.value(1).toInt());
        const QString prefix = folder + QStringLiteral("/mainwindow-") + size + QLatin1Char('-');
        for (int page = 0; page < pages.size(); ++page) {
            pages.at(page)->click();
            Settle(300);
            ok = GrabScreenOver(window).save(prefix + pageNames.at(page) + ".png") && ok;
        }
        pages.first()->click();
        MergePatientDataDialog dialog(&window);
        const STU_DB_PATIENT_LIST *current = PatientData::GetInstance()->GetCurrentPatient();
        STU_DB_PATIENT_LIST *candidates = LookAlikes(*current);
        dialog.SetPatientList(current, candidates);
        FreeRecordChain(candidates);
        dialog.show();
        Settle(300);
        ok = GrabScreenOver(window).save(prefix + QStringLiteral("merge.png")) && ok;
    }
    window.Form().tabWidget->setCurrentIndex(1);
    Settle(300);
    ok = window.grab().save(folder + QStringLiteral("/mainwindow-settings.png")) && ok;
    return ok ? 0 : 1;
}

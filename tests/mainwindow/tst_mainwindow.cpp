#include "CommunicationProcessControl.h"
#include "DatabaseRecords.h"
#include "MDatabaseService.h"
#include "MSettings.h"
#include "MessageBoxCloser.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "TestEnvironment.h"
#include "TrendGrapView.h"
#include "TrendTableView.h"
#include "quarvelpcsoftware.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

// Reads QObject's protected connection queries from outside the class.
struct ConnectionPeek : QObject
{
    static int Receivers(const QObject *object, const char *signal)
    {
        return (object->*(&ConnectionPeek::receivers))(signal);
    }
    static bool IsConnected(const QObject *object, const QMetaMethod &signal)
    {
        return (object->*(&ConnectionPeek::isSignalConnected))(signal);
    }
};

struct WorkItem
{
    uint type;
    quintptr wParam;
    quintptr lParam;
};

QList<WorkItem> WorkItems(const QSignalSpy &spy)
{
    QList<WorkItem> items;
    for (const QList<QVariant> &arguments : spy)
        items.append({arguments.at(0).toUInt(), arguments.at(1).value<quintptr>(),
                      arguments.at(2).value<quintptr>()});
    return items;
}

QList<uint> WorkTypes(const QSignalSpy &spy)
{
    QList<uint> types;
    for (const WorkItem &item : WorkItems(spy))
        types.append(item.type);
    return types;
}

STU_DB_PATIENT_LIST *NewPatient(const QString &name, quint32 idInDevice)
{
    auto *patient = new STU_DB_PATIENT_LIST;
    patient->PatientID = QUuid::createUuid();
    SetRecordText(patient->DeviceSN, QStringLiteral("SN-TEST"));
    patient->IdInDevice = idInDevice;
    SetRecordText(patient->Name, name);
    patient->LastUpdateTime = QDateTime::currentDateTime();
    return patient;
}

// Posts a work item straight to the service, the way the import controller does.
void PostWork(uint type, quintptr wParam, quintptr lParam)
{
    MDatabaseService *service = MDatabaseService::GetInstance();
    QMetaObject::invokeMethod(
        service, [=] { service->ProcessDatabaseTaskProc(type, wParam, lParam); },
        Qt::QueuedConnection);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void startUpFillsListAndWiresEverything();
    void formTextsAndLooks();
    void exportAndPrintWithoutPatient();
    void selectingRowLoadsPatient();
    void exportAndPrintWithPatient();
    void exportFailureIsReported();
    void importedPatientMovesToTopOnlyWhenNewer();
    void importButtonFollowsDevice();
    void deleteSeveralRowsAtOnce();
    void mergeRemovesOldRowAndReloads();
    void settingsSaveWritesFileAndMergeBits();
    void settingsBrowse();
    void toolButtonsSwitchPages();
    void maximiseAndRestore();
    void connectionsAreTheTableOnes();
    void closeButtonClosesWindow();

private:
    // Waits until every answer the service owes has been handled here.
    void DrainDatabase();
    QTableWidget *Table() const { return m_window->Form().PatientListTable; }
    int RowOf(const QUuid &uuid) const;
    QUuid RowId(int row) const;
    bool RowIsBold(int row) const;
    // Selects the rows in this order and waits until the patient is loaded.
    bool SelectAndLoad(const QList<int> &rows);

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<QuarvelPCSoftware> m_window;
    bool m_exportDirectoryMissingBefore = false;
    int m_allPatientAnswers = 0;
};

int TestMainWindow::RowOf(const QUuid &uuid) const
{
    for (int row = 0; row < Table()->rowCount(); ++row) {
        if (RowId(row) == uuid)
            return row;
    }
    return -1;
}

QUuid TestMainWindow::RowId(int row) const
{
    const QTableWidgetItem *item = Table()->item(row, 0);
    return item ? QUuid::fromString(QLatin1String(item->data(Qt::UserRole).toByteArray()))
                : QUuid();
}

bool TestMainWindow::RowIsBold(int row) const
{
    bool bold = true;
    for (int column = 0; column < 3; ++column)
        bold = bold && Table()->item(row, column)->font().bold();
    return bold;
}

bool TestMainWindow::SelectAndLoad(const QList<int> &rows)
{
    // The temperature list is the last of the four answers to a selection.
    QSignalSpy lastAnswer(PatientData::GetInstance(), &PatientData::OnPatientTEMPDataChanged);
    Table()->clearSelection();
    for (int row : rows)
        Table()->selectionModel()->select(Table()->model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QModelIndexList selected = Table()->selectionModel()->selectedRows(0);
    if (selected.isEmpty())
        return false;
    const QUuid uuid = RowId(selected.first().row());
    return QTest::qWaitFor([&] {
        const STU_DB_PATIENT_LIST *current = PatientData::GetInstance()->GetCurrentPatient();
        return current && current->PatientID == uuid && !lastAnswer.isEmpty();
    });
}

void TestMainWindow::DrainDatabase()
{
    // Work runs in posting order and answers come back in order, so once the
    // marker's reply is handled every earlier answer has been too.
    auto done = std::make_shared<bool>(false);
    MDatabaseService *service = MDatabaseService::GetInstance();
    QMetaObject::invokeMethod(
        service,
        [this, done] {
            QMetaObject::invokeMethod(
                this, [done] { *done = true; }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    QVERIFY(QTest::qWaitFor([done] { return *done; }));
}

void TestMainWindow::initTestCase()
{
    m_environment = std::make_unique<TestEnvironment>(true);
    m_exportDirectoryMissingBefore = !QDir(m_environment->ExportDirectory()).exists();
    // Made first so that the answer to the start-up request can be counted.
    connect(
        MDatabaseService::GetInstance(), &MDatabaseService::OnDatabaseGetAllPatientBriefSucc, this,
        [this] { ++m_allPatientAnswers; }, Qt::QueuedConnection);
    m_window = std::make_unique<QuarvelPCSoftware>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_COMPARE(Table()->rowCount(), 2);
}

void TestMainWindow::init()
{
    // Every warning fails, except the offscreen platform's notes that it
    // cannot shape windows or pass on size hints.
    QTest::failOnWarning(
        QRegularExpression(QStringLiteral("^(?!This plugin does not support ).*")));
}

void TestMainWindow::cleanupTestCase()
{
    m_window.reset();
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
    delete MDatabaseService::GetInstance();
    m_environment.reset();
}

void TestMainWindow::startUpFillsListAndWiresEverything()
{
    QCOMPARE(m_allPatientAnswers, 1);
    QVERIFY(m_exportDirectoryMissingBefore);
    QVERIFY(QDir(m_environment->ExportDirectory()).exists());
    QCOMPARE(m_window->Form().lineEdit_Export_Path->text(), m_environment->ExportDirectory());

    // The two demo patients, both unread; the pseudo-patient shows "monitor".
    QStringList ids;
    for (int row = 0; row < 2; ++row) {
        ids.append(Table()->item(row, 1)->text());
        QVERIFY(RowIsBold(row));
        QVERIFY(!RowId(row).isNull());
        QCOMPARE(Table()->item(row, 0)->text(), QStringLiteral("demo_device_data"));
    }
    QVERIFY(ids.contains(QStringLiteral("monitor")));
    QVERIFY(ids.contains(QStringLiteral("1")));
    QCOMPARE(Table()->horizontalHeaderItem(0)->text(), QStringLiteral("SN"));
    QCOMPARE(Table()->horizontalHeaderItem(1)->text(), QStringLiteral("ID"));
    QCOMPARE(Table()->horizontalHeaderItem(2)->text(), QStringLiteral("Name"));
    QCOMPARE(Table()->columnWidth(1), 60);
    QCOMPARE(Table()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(Table()->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(Table()->editTriggers(), QAbstractItemView::NoEditTriggers);

    // State after start-up.
    const Ui_PCViewer &ui = m_window->Form();
    QVERIFY(!ui.ImportButton->isEnabled());
    QCOMPARE(ui.tabWidget->currentIndex(), 0);
    QCOMPARE(m_window->ViewStack()->currentIndex(), 0);
    QVERIFY(ui.PatientInfoToolButton->isChecked());
    QCOMPARE(m_window->windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QVERIFY(!m_window->mask().isEmpty());

    // The views on pages 0 to 2, children of the window.
    QStackedWidget *stack = m_window->ViewStack();
    QCOMPARE(stack->count(), 3);
    QVERIFY(qobject_cast<PatientDetailInfoView *>(stack->widget(0)));
    QVERIFY(qobject_cast<TrendTableView *>(stack->widget(1)));
    QVERIFY(qobject_cast<TrendGrapView *>(stack->widget(2)));
    QCOMPARE(stack->widget(0)->font().pixelSize(), 13);
    QCOMPARE(stack->widget(1)->palette().color(QPalette::Inactive, QPalette::Window),
             QColor(225, 230, 242));
    QVERIFY(stack->widget(2)->autoFillBackground());
}

void TestMainWindow::formTextsAndLooks()
{
    const Ui_PCViewer &ui = m_window->Form();
    QCOMPARE(m_window->objectName(), QStringLiteral("PCViewer"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Vantrel Monitor"));
    QCOMPARE(ui.SoftwareLabel->text(), QStringLiteral("  Vantrel Monitor"));
    QCOMPARE(ui.tabWidget->tabText(0), QStringLiteral("Desktop"));
    QCOMPARE(ui.tabWidget->tabText(1), QStringLiteral("  Settings  "));
    QVERIFY(ui.StatusBarLabel->text().isEmpty());
    QVERIFY(ui.PatientInfoLabel->text().isEmpty());
    QCOMPARE(ui.TableToolButton->text(), QStringLiteral("\n\nTable"));
    QCOMPARE(ui.label->text(),
             QStringLiteral("The Patient Data will prompt to merge when patient key is same."));
    QCOMPARE(ui.pushButton_Export_Browse->text(), QStringLiteral("Browse..."));
    QCOMPARE(m_window->minimumSize(), QSize(1024, 600));
    QCOMPARE(ui.PatientListWidget->width(), 350);
    QCOMPARE(ui.Header->height(), 30);

    // Every image the style sheets name is embedded, except the tool bar's.
    const QStringList names = {"Info", "Help", "Min", "Max", "Close", "CBLong"};
    const QStringList states = {"_Available", "_Hover", "_Press", "_Invalid"};
    const QString prefix = QStringLiteral(":/QuarvelPCSoftware/Resources/UI/");
    for (const QString &state : states) {
        for (const QString &name : names)
            QVERIFY(QFile::exists(prefix + "Button/" + name + state + ".png"));
        for (const char *name : {"Patient", "Table", "Trend"})
            QVERIFY(
                QFile::exists(prefix + "AnalysisButton/" + QLatin1String(name) + state + ".png"));
    }
    for (const char *tab :
         {"Selected", "Unselected", "Unselected_Hover", "Unselected_Press", "Unselected_Invalid"})
        QVERIFY(QFile::exists(prefix + "Tab/TabButton_" + QLatin1String(tab) + ".png"));
    QVERIFY(!QFile::exists(QStringLiteral(
        ":/QuarvelPCSoftware/Resources/AnalysisButton/AnalysisChartGroupBackground.png")));
    QCOMPARE(QImage(prefix + "AnalysisButton/Patient_Press.png").size(), QSize(94, 71));

    // The rounded mask: corners cut, the inside shown.
    const QRegion mask = QuarvelPCSoftware::WindowMask(100, 80);
    QVERIFY(!mask.contains(QPoint(0, 0)));
    QVERIFY(!mask.contains(QPoint(99, 79)));
    QVERIFY(mask.contains(QPoint(5, 0)));
    QVERIFY(mask.contains(QPoint(0, 5)));
    QVERIFY(mask.contains(QPoint(50, 40)));
    QVERIFY(mask.contains(QPoint(2, 2)));
}

void TestMainWindow::exportAndPrintWithoutPatient()
{
    QVERIFY(!PatientData::GetInstance()->GetCurrentPatient());
    MessageBoxCloser closer;
    QTest::mouseClick(m_window->Form().ExportButton, Qt::LeftButton);
    QTest::mouseClick(m_window->Form().PrintButton, Qt::LeftButton);
    QCOMPARE(closer.Titles(),
             QStringList({"Save Patient Information", "Save Patient Information"}));
    QCOMPARE(closer.Texts(), QStringList({"Please select a patient to export data!",
                                          "Please select a patient to print!"}));
    QCOMPARE(closer.Icons(), QList<int>({QMessageBox::Information, QMessageBox::Information}));
    QVERIFY(QDir(m_environment->ExportDirectory()).isEmpty());
    QVERIFY(!m_environment->LogText().contains(QStringLiteral("PrintButtonClicked")));
}

void TestMainWindow::selectingRowLoadsPatient()
{
    QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
    const int row = 1;
    const QUuid uuid = RowId(row);
    QVERIFY(RowIsBold(row));
    QVERIFY(SelectAndLoad({row}));
    QCOMPARE(WorkTypes(spy), QList<uint>({12, 6, 10, 8}));
    QTRY_VERIFY(!RowIsBold(RowOf(uuid)));
    QVERIFY(RowIsBold(1 - row));
    QVERIFY(PatientData::GetInstance()->GetCurrentPatient()->ReadFlag);
    QVERIFY(m_environment->LogText().contains(QStringLiteral("OnPatientListSelectRowChanged")));

    // Clearing the selection keeps the current patient.
    Table()->clearSelection();
    QCOMPARE(PatientData::GetInstance()->GetCurrentPatient()->PatientID, uuid);

    // An answer for a patient no longer selected is dropped.
    QVERIFY(SelectAndLoad({0}));
    auto *stale = new STU_DB_PATIENT_LIST;
    stale->PatientID = uuid;
    m_window->OnDatabaseGetOnePatientDetailSucc(stale);
    QCOMPARE(PatientData::GetInstance()->GetCurrentPatient()->PatientID, RowId(0));
}

void TestMainWindow::exportAndPrintWithPatient()
{
    QVERIFY(PatientData::GetInstance()->GetCurrentPatient());
    MessageBoxCloser closer;
    QTest::mouseClick(m_window->Form().ExportButton, Qt::LeftButton);
    QCOMPARE(closer.Titles(), QStringList({"Export"}));
    const QString text = closer.Texts().value(0);
    QVERIFY2(text.startsWith(QStringLiteral("Export Patient Data to '")), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("' successfully!")), qPrintable(text));
    const QString folder = text.mid(24).chopped(15);
    QVERIFY(QDir(folder).exists());
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 4);

    closer.Clear();
    QTest::mouseClick(m_window->Form().PrintButton, Qt::LeftButton);
    QVERIFY(closer.Texts().isEmpty());
    QCOMPARE(m_environment->LogText().count(QStringLiteral("PrintButtonClicked")), 1);
}

void TestMainWindow::exportFailureIsReported()
{
    // An export directory below a plain file cannot be created, even by root.
    QTemporaryFile blocker(m_environment->Root() + QStringLiteral("/blockerXXXXXX"));
    QVERIFY(blocker.open());
    MSettings *settings = MSettings::GetInstance();
    const QString savedPath = settings->GetExportFilePath();
    settings->SetExportFilePath(blocker.fileName() + QStringLiteral("/export"));
    MessageBoxCloser closer;
    QTest::mouseClick(m_window->Form().ExportButton, Qt::LeftButton);
    settings->SetExportFilePath(savedPath);
    QCOMPARE(closer.Titles(), QStringList({"Export"}));
    const QString text = closer.Texts().value(0);
    QVERIFY2(text.startsWith(QStringLiteral("Export Patient Data to '")), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("' failed!")), qPrintable(text));
}

void TestMainWindow::importedPatientMovesToTopOnlyWhenNewer()
{
    // The patient in the last row was updated an hour ago, as far as the list knows.
    const int last = Table()->rowCount() - 1;
    const QUuid uuid = RowId(last);
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    Table()->item(last, 1)->setData(Qt::UserRole, uint(hourAgo.toSecsSinceEpoch()));

    // An older brief record leaves the row where it is.
    auto *older = new STU_DB_PATIENT_LIST;
    older->PatientID = uuid;
    older->LastUpdateTime = hourAgo.addSecs(-60);
    emit MDatabaseService::GetInstance()->OnDatabaseGetOnePatientBriefSucc(older);
    QTest::qWait(50);
    QCOMPARE(RowOf(uuid), last);

    // A real import of a temperature record: the store stamps the patient and
    // marks it unread, the service reports it, the window asks for the brief
    // record, and the row moves to the top, bold again.
    Table()->clearSelection(); // moving a selected row would reload it
    QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
    auto *temperature = new STU_DB_TEMP_DATA_LIST;
    temperature->MeasureTime = QDateTime::currentDateTime().addDays(1);
    temperature->TempValue = 36.6f;
    const int rows = Table()->rowCount();
    PostWork(DB_WORK_INSERT_TEMP_DATA, reinterpret_cast<quintptr>(new QUuid(uuid)),
             reinterpret_cast<quintptr>(temperature));
    QTRY_COMPARE(RowOf(uuid), 0);
    QCOMPARE(Table()->rowCount(), rows);
    QVERIFY(RowIsBold(0));
    QCOMPARE(WorkTypes(spy), QList<uint>({DB_WORK_GET_ONE_PATIENT_BRIEF}));
    QVERIFY(Table()->item(0, 1)->data(Qt::UserRole).toUInt() > uint(hourAgo.toSecsSinceEpoch()));

    // A patient not in the list changes nothing.
    auto *stranger = NewPatient(QStringLiteral("Nobody"), 9);
    emit MDatabaseService::GetInstance()->OnDatabaseGetOnePatientBriefSucc(stranger);
    QTest::qWait(50);
    QCOMPARE(Table()->rowCount(), rows);
}

void TestMainWindow::importButtonFollowsDevice()
{
    CommunicationProcessControl *control = CommunicationProcessControl::GetInstance();
    QPushButton *import = m_window->Form().ImportButton;
    emit control->NewDeviceConnected();
    QVERIFY(import->isEnabled());
    emit control->DeviceDisconnected();
    QVERIFY(!import->isEnabled());
    emit control->NewDeviceConnected();
    QVERIFY(import->isEnabled());

    MessageBoxCloser closer;
    emit control->ImportDataFinished();
    QCOMPARE(closer.Titles(), QStringList({"Import"}));
    QCOMPARE(closer.Texts(), QStringList({"Import patient data successfully!"}));
    emit control->DeviceDisconnected();
}

void TestMainWindow::deleteSeveralRowsAtOnce()
{
    // Two new patients through the service, as an import would add them.
    STU_DB_PATIENT_LIST *first = NewPatient(QStringLiteral("Delete One"), 21);
    STU_DB_PATIENT_LIST *second = NewPatient(QStringLiteral("Delete Two"), 22);
    const QUuid firstId = first->PatientID;
    const QUuid secondId = second->PatientID;
    const int rows = Table()->rowCount();
    PostWork(DB_WORK_INSERT_NEW_PATIENT, reinterpret_cast<quintptr>(first), 0);
    PostWork(DB_WORK_INSERT_NEW_PATIENT, reinterpret_cast<quintptr>(second), 0);
    QTRY_COMPARE(Table()->rowCount(), rows + 2);
    QCOMPARE(RowId(0), secondId);
    QCOMPARE(RowId(1), firstId);
    QVERIFY(RowIsBold(0));
    QCOMPARE(Table()->item(0, 2)->text(), QStringLiteral("Delete Two"));

    // Select both; the first row of the selection becomes current.
    QVERIFY(SelectAndLoad({1, 0}));
    const QUuid shown = PatientData::GetInstance()->GetCurrentPatient()->PatientID;
    QVERIFY(shown == firstId || shown == secondId);
    QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
    QSignalSpy cleared(PatientData::GetInstance(), &PatientData::OnClearPatientData);
    QTest::mouseClick(m_window->Form().DeleteButton, Qt::LeftButton);
    QCOMPARE(WorkTypes(spy), QList<uint>({2, 2}));
    QTRY_COMPARE(Table()->rowCount(), rows);
    QCOMPARE(RowOf(firstId), -1);
    QCOMPARE(RowOf(secondId), -1);
    QCOMPARE(cleared.size(), 1);
    QVERIFY(!PatientData::GetInstance()->GetCurrentPatient());

    // The database agrees: a fresh list holds only the remaining rows.
    m_allPatientAnswers = 0;
    emit m_window->GetDataFromDatabaseRequest(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0);
    QTRY_COMPARE(m_allPatientAnswers, 1);
    QCOMPARE(Table()->rowCount(), rows);
    QCOMPARE(RowOf(firstId), -1);
}

void TestMainWindow::mergeRemovesOldRowAndReloads()
{
    QVERIFY(SelectAndLoad({0}));
    const QUuid kept = RowId(0);
    STU_DB_PATIENT_LIST *extra = NewPatient(QStringLiteral("Merge Away"), 31);
    const QUuid removed = extra->PatientID;
    const int rows = Table()->rowCount();
    m_window->OnDatabaseInsertNewPatientSucc(extra);
    QCOMPARE(Table()->rowCount(), rows + 1);
    QVERIFY(SelectAndLoad({RowOf(kept)}));

    QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
    emit MDatabaseService::GetInstance()->OnMergePatientDataSucc(new QUuid(kept),
                                                                 new QUuid(removed));
    QVERIFY(spy.isEmpty()); // queued: nothing before the event loop runs
    QTRY_COMPARE(Table()->rowCount(), rows);
    QCOMPARE(RowOf(removed), -1);
    // The removed row may move the selection, which reloads by itself; the
    // merge answer reloads in any case.
    const QList<uint> types = WorkTypes(spy);
    QVERIFY(types.size() == 4 || types.size() == 8);
    QCOMPARE(types.mid(types.size() - 4), QList<uint>({12, 6, 10, 8}));
    DrainDatabase();
    QCOMPARE(PatientData::GetInstance()->GetCurrentPatient()->PatientID, kept);
}

void TestMainWindow::settingsSaveWritesFileAndMergeBits()
{
    const Ui_PCViewer &ui = m_window->Form();
    ui.tabWidget->setCurrentIndex(1);
    ui.checkBox_DeviceSN->setChecked(false);
    ui.checkBox_ID->setChecked(false);
    ui.checkBox_Name->setChecked(true);
    ui.checkBox_IdentityCode->setChecked(true);
    ui.checkBox_SocietyCode->setChecked(false);
    const QString newPath = m_environment->Root() + QStringLiteral("/elsewhere");
    ui.lineEdit_Export_Path->setText(newPath);
    QTest::mouseClick(ui.pushButton_Save, Qt::LeftButton);
    ui.tabWidget->setCurrentIndex(0);

    QFile file(MSettings::GetFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.contains(QStringLiteral("PATIENT_KEY_IDENTIFY_CODE = 1")));
    QVERIFY(text.contains(QStringLiteral("PATIENT_KEY_PATIENT_NAME = 1")));
    QVERIFY(text.contains(QStringLiteral("PATIENT_KEY_DEVICE_SN = 0")));
    QVERIFY(text.contains(QStringLiteral("EXPORT_FILE_PATH = ") + newPath));
    QVERIFY(!QDir(newPath).exists()); // created at the next start, not here
    QCOMPARE(QuarvelPCSoftware::CurrentMergeKeyBits(), 0x204u);

    // The next saved detail edit asks for merge candidates with those keys,
    // handing the service a copy of the record the model now holds.
    const STU_DB_PATIENT_LIST *current = PatientData::GetInstance()->GetCurrentPatient();
    QVERIFY(current);
    STU_DB_PATIENT_LIST *edited = CopyRecord(*current);
    SetRecordText(edited->Name, QStringLiteral("Renamed Unique"));
    QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
    MessageBoxCloser closer; // the detail form confirms the save after the search
    emit MDatabaseService::GetInstance()->OnDatabaseUpdateOnePatientDetailInfoSucc(edited);
    QTRY_COMPARE(spy.size(), 1);
    const WorkItem item = WorkItems(spy).first();
    QCOMPARE(item.type, uint(DB_WORK_SEARCH_PATIENT_TO_MERGE));
    QCOMPARE(item.wParam, quintptr(0x204));
    QVERIFY(item.lParam != 0);
    QCOMPARE(PatientData::GetInstance()->GetCurrentPatient(), edited);
    QVERIFY(item.lParam != reinterpret_cast<quintptr>(edited));
    QCOMPARE(Table()->item(RowOf(edited->PatientID), 2)->text(), QStringLiteral("Renamed Unique"));
    QTRY_COMPARE(closer.Texts(), QStringList({"Save patient detail information successfully!"}));

    // An update for a patient not in the list is dropped.
    spy.clear();
    m_window->OnDatabaseUpdateOnePatientDetailInfoSucc(NewPatient(QStringLiteral("Gone"), 5));
    QVERIFY(spy.isEmpty());
    QCOMPARE(PatientData::GetInstance()->GetCurrentPatient(), edited);
}

void TestMainWindow::settingsBrowse()
{
    const Ui_PCViewer &ui = m_window->Form();
    const QString before = ui.lineEdit_Export_Path->text();
    const QString chosen = m_environment->DatabaseDirectory();
    QStringList titles;
    // Answers the directory dialog as soon as it shows: cancel, or choose.
    auto answer = [&titles](const QString &directory) {
        auto *poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [poll, directory, &titles] {
            QFileDialog *dialog = nullptr;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *candidate = qobject_cast<QFileDialog *>(widget))
                    dialog = candidate->isVisible() ? candidate : dialog;
            }
            if (!dialog)
                return;
            titles.append(dialog->windowTitle());
            if (directory.isEmpty()) {
                dialog->reject();
            } else {
                // Typed into the name field, as a user would.
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(directory);
                QMetaObject::invokeMethod(dialog, "accept");
            }
            poll->deleteLater();
            poll->stop();
        });
        poll->start(20);
    };
    answer(QString());
    m_window->SettingBrowseButtonClicked();
    QCOMPARE(ui.lineEdit_Export_Path->text(), before);
    answer(chosen);
    m_window->SettingBrowseButtonClicked();
    QCOMPARE(QDir(ui.lineEdit_Export_Path->text()), QDir(chosen));
    QCOMPARE(titles, QStringList({"Select export file(s) path", "Select export file(s) path"}));
}

void TestMainWindow::toolButtonsSwitchPages()
{
    const Ui_PCViewer &ui = m_window->Form();
    QTest::mouseClick(ui.TableToolButton, Qt::LeftButton);
    QCOMPARE(m_window->ViewStack()->currentIndex(), 1);
    QVERIFY(ui.TableToolButton->isChecked() && !ui.PatientInfoToolButton->isChecked());
    QTest::mouseClick(ui.TrendToolButton, Qt::LeftButton);
    QCOMPARE(m_window->ViewStack()->currentIndex(), 2);
    QVERIFY(ui.TrendToolButton->isChecked() && !ui.TableToolButton->isChecked());
    QTest::mouseClick(ui.PatientInfoToolButton, Qt::LeftButton);
    QCOMPARE(m_window->ViewStack()->currentIndex(), 0);
    QVERIFY(ui.PatientInfoToolButton->isChecked() && !ui.TrendToolButton->isChecked());
    const QString log = m_environment->LogText();
    QVERIFY(log.contains(QStringLiteral("OnTrendTableButtonClicked")));
    QVERIFY(log.contains(QStringLiteral("OnTrendGrapButtonClicked")));
    QVERIFY(log.contains(QStringLiteral("OnPatientInfoButtonClicked")));
}

void TestMainWindow::maximiseAndRestore()
{
    // Centred on a wide screen, cut to the height of a low one, at the left
    // edge of a narrow one.
    QCOMPARE(QuarvelPCSoftware::RestoredGeometry(QRect(0, 0, 1366, 768)), QRect(171, 0, 1024, 768));
    QCOMPARE(QuarvelPCSoftware::RestoredGeometry(QRect(0, 40, 1920, 1040)),
             QRect(448, 176, 1024, 768));
    QCOMPARE(QuarvelPCSoftware::RestoredGeometry(QRect(0, 0, 1280, 720)), QRect(128, 0, 1024, 720));
    QCOMPARE(QuarvelPCSoftware::RestoredGeometry(QRect(0, 0, 800, 600)), QRect(0, 0, 1024, 600));
    QCOMPARE(QuarvelPCSoftware::RestoredGeometry(QRect(1366, 0, 1023, 900)),
             QRect(0, 66, 1024, 768));

    // The real window on its screen: it opened filling the available area.
    const QRect available = m_window->screen()->availableGeometry();
    QCOMPARE(m_window->geometry(), available);
    QPushButton *max = m_window->Form().MaxButton;
    QTest::mouseClick(max, Qt::LeftButton);
    QCOMPARE(m_window->geometry(), QuarvelPCSoftware::RestoredGeometry(available));
    QCOMPARE(m_window->mask().boundingRect(), QRect(0, 0, 1024, m_window->height()));
    QTest::mouseClick(max, Qt::LeftButton);
    QCOMPARE(m_window->geometry(), available);
    QCOMPARE(m_window->mask().boundingRect(), QRect(QPoint(0, 0), available.size()));

    // Moved onto the narrow second screen, the restored window starts at the
    // left edge 0 with that screen's height; maximising then follows the
    // window's centre back to the wide screen.
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    QRect narrow;
    for (const QScreen *screen : screens) {
        if (screen->availableGeometry().width() < 1024)
            narrow = screen->availableGeometry();
    }
    QCOMPARE(narrow, QRect(1366, 0, 800, 600));
    m_window->setGeometry(QRect(narrow.center() - QPoint(512, 300), QSize(1024, 600)));
    QTest::mouseClick(max, Qt::LeftButton);
    QCOMPARE(m_window->geometry(), QRect(0, 0, 1024, 600));
    QTest::mouseClick(max, Qt::LeftButton);
    QCOMPARE(m_window->geometry(), available);
}

void TestMainWindow::connectionsAreTheTableOnes()
{
    QuarvelPCSoftware *w = m_window.get();
    const Ui_PCViewer &ui = w->Form();
    PatientData *model = PatientData::GetInstance();
    MDatabaseService *service = MDatabaseService::GetInstance();
    CommunicationProcessControl *control = CommunicationProcessControl::GetInstance();
    auto *detail = qobject_cast<PatientDetailInfoView *>(w->ViewStack()->widget(0));
    auto *table = qobject_cast<TrendTableView *>(w->ViewStack()->widget(1));
    auto *graph = qobject_cast<TrendGrapView *>(w->ViewStack()->widget(2));
    QVERIFY(detail && table && graph);

    // Every signal of the table has a receiver.
    QVERIFY(ConnectionPeek::IsConnected(
        w, QMetaMethod::fromSignal(&QuarvelPCSoftware::GetDataFromDatabaseRequest)));
    QCOMPARE(ConnectionPeek::Receivers(model, SIGNAL(OnClearPatientData())), 3);
    QVERIFY(ConnectionPeek::Receivers(
                service, SIGNAL(OnSearchPatientToMergeSucc(STU_DB_PATIENT_LIST *))) >= 1);

    // Each connection exists exactly between the parties of the table:
    // disconnecting it succeeds once. This test runs last for that reason.
    int found = 0;
    auto check = [&found](bool disconnected) { found += disconnected ? 1 : 0; };
    using W = QuarvelPCSoftware;
    using S = MDatabaseService;
    using P = PatientData;
    check(disconnect(model, &P::OnPatientDetailInfoChanged, detail,
                     &PatientDetailInfoView::OnPatientDetailInfoChanged));
    check(disconnect(detail, &PatientDetailInfoView::AddDatabaseWork, service,
                     &S::ProcessDatabaseTaskProc));
    check(disconnect(model, &P::OnClearPatientData, detail, &PatientDetailInfoView::Clear));
    check(disconnect(service, &S::OnSearchPatientToMergeSucc, detail,
                     &PatientDetailInfoView::OnSearchPatientToMergeSucc));
    check(disconnect(model, &P::OnPatientNIBPDataChanged, table,
                     &TrendTableView::OnPatientNIBPDataChanged));
    check(disconnect(model, &P::OnPatientSPO2DataChanged, table,
                     &TrendTableView::OnPatientSPO2DataChanged));
    check(disconnect(model, &P::OnPatientTEMPDataChanged, table,
                     &TrendTableView::OnPatientTEMPDataChanged));
    check(disconnect(model, &P::OnClearPatientData, table, &TrendTableView::OnClearPatientData));
    check(disconnect(model, &P::OnPatientNIBPDataChanged, graph,
                     &TrendGrapView::OnPatientNIBPDataChanged));
    check(disconnect(model, &P::OnPatientSPO2DataChanged, graph,
                     &TrendGrapView::OnPatientSPO2DataChanged));
    check(disconnect(model, &P::OnPatientTEMPDataChanged, graph,
                     &TrendGrapView::OnPatientTEMPDataChanged));
    check(disconnect(model, &P::OnClearPatientData, graph, &TrendGrapView::OnClearPatientData));
    check(disconnect(control, &CommunicationProcessControl::NewDeviceConnected, w,
                     &W::NewDeviceConnected));
    check(disconnect(control, &CommunicationProcessControl::DeviceDisconnected, w,
                     &W::DeviceDisconnected));
    check(disconnect(control, &CommunicationProcessControl::ImportDataFinished, w,
                     &W::ImportDataFinished));
    check(disconnect(control, &CommunicationProcessControl::OnImportOnePatientDataFinished, w,
                     &W::OnImportPatientDataFinished));
    check(disconnect(ui.HelpButton, &QPushButton::clicked, w, &W::Help));
    check(disconnect(ui.InfoButton, &QPushButton::clicked, w, &W::Info));
    check(disconnect(ui.MinButton, &QPushButton::clicked, w, &W::MinMainDialog));
    check(disconnect(ui.MaxButton, &QPushButton::clicked, w, &W::MaxMainDialog));
    check(disconnect(ui.CloseButton, &QPushButton::clicked, w, &W::CloseMainDialog));
    check(disconnect(ui.PatientInfoToolButton, &QToolButton::clicked, w,
                     &W::OnPatientInfoButtonClicked));
    check(disconnect(ui.TableToolButton, &QToolButton::clicked, w, &W::OnTrendTableButtonClicked));
    check(disconnect(ui.TrendToolButton, &QToolButton::clicked, w, &W::OnTrendGrapButtonClicked));
    check(disconnect(ui.ImportButton, &QPushButton::clicked, w, &W::ImportButtonClicked));
    check(disconnect(ui.DeleteButton, &QPushButton::clicked, w, &W::DeleteButtonClicked));
    check(disconnect(ui.ExportButton, &QPushButton::clicked, w, &W::ExportButtonClicked));
    check(disconnect(ui.PrintButton, &QPushButton::clicked, w, &W::PrintButtonClicked));
    check(disconnect(ui.pushButton_Export_Browse, &QPushButton::clicked, w,
                     &W::SettingBrowseButtonClicked));
    check(disconnect(ui.pushButton_Save, &QPushButton::clicked, w, &W::SettingSaveButtonClicked));
    check(disconnect(w, &W::GetDataFromDatabaseRequest, service, &S::ProcessDatabaseTaskProc));
    check(disconnect(service, &S::OnDatabaseGetAllPatientBriefSucc, w,
                     &W::OnDatabaseGetAllPatientBriefSucc));
    check(disconnect(service, &S::OnDatabaseGetOnePatientDetailSucc, w,
                     &W::OnDatabaseGetOnePatientDetailSucc));
    check(disconnect(service, &S::OnDatabaseUpdateOnePatientDetailInfoSucc, w,
                     &W::OnDatabaseUpdateOnePatientDetailInfoSucc));
    check(disconnect(service, &S::OnDatabaseDeletePatientSucc, w, &W::OnDatabaseDeletePatientSucc));
    check(disconnect(service, &S::OnDatabaseInsertNewPatientSucc, w,
                     &W::OnDatabaseInsertNewPatientSucc));
    check(disconnect(service, &S::OnDatabaseGetNIBPDataListSucc, model,
                     &P::OnDatabaseGetNIBPDataListSucc));
    check(disconnect(service, &S::OnDatabaseGetSPO2DataListSucc, model,
                     &P::OnDatabaseGetSPO2DataListSucc));
    check(disconnect(service, &S::OnImportPatientDataFinished, w, &W::OnImportPatientDataFinished));
    check(disconnect(service, &S::OnDatabaseGetTEMPDataListSucc, model,
                     &P::OnDatabaseGetTEMPDataListSucc));
    check(disconnect(service, &S::OnMergePatientDataSucc, w, &W::OnMergePatientDataSucc));
    check(disconnect(service, &S::OnDatabaseGetOnePatientBriefSucc, w,
                     &W::OnDatabaseGetOnePatientBriefSucc));
    check(disconnect(ui.PatientListTable, &QTableWidget::itemSelectionChanged, w,
                     &W::OnPatientListSelectRowChanged));
    QCOMPARE(found, 43);
    // None was made twice.
    QCOMPARE(ConnectionPeek::Receivers(model, SIGNAL(OnClearPatientData())), 0);
    QVERIFY(!ConnectionPeek::IsConnected(
        w, QMetaMethod::fromSignal(&QuarvelPCSoftware::GetDataFromDatabaseRequest)));
}

void TestMainWindow::closeButtonClosesWindow()
{
    // The connections are gone after the test before, so call the slot.
    QVERIFY(m_window->isVisible());
    m_window->CloseMainDialog();
    QVERIFY(!m_window->isVisible());
}

int main(int argc, char *argv[])
{
    // A wide screen of a usual laptop size, so that maximising is not cut by
    // the window's minimum size, and a narrow one beside it.
    QTemporaryFile screens;
    if (screens.open()) {
        screens.write(R"({"screens": [
            {"name": "Wide", "x": 0, "y": 0, "width": 1366, "height": 768,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
            {"name": "Narrow", "x": 1366, "y": 0, "width": 800, "height": 600,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screens.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    }
    QApplication application(argc, argv);
    application.setStyleSheet(QObject::tr("QObject{font-family:Arial;}"));
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"

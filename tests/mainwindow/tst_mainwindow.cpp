#include "ComOpenError.h"
#include "CommunicationProcessControl.h"
#include "MDatabaseService.h"
#include "MSettings.h"
#include "ModalWatcher.h"

#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "PatientListPanel.h"
#include "StatusBar.h"
#include "TestDatabase.h"
#include "TestRecords.h"
#include "WindowChrome.h"
#include "quarvelpcsoftware.h"
#include <QPrintPreviewDialog>

#include <QPrintPreviewDialog>
#include <QtTest>
#include <QtWidgets>

namespace {

QList<uint> WorkTypes(const QSignalSpy &spy)
{
    QList<uint> types;
    for (const QList<QVariant> &arguments : spy)
        types.append(arguments.at(0).toUInt());
    return types;
}

const QString SaveBox = QStringLiteral("Save Patient Information|");
const QString Saved = SaveBox + QStringLiteral("Save patient detail information successfully!");

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(!QDir(Env().ExportDirectory()).exists()); // made at start-up
        // Made first so that the answer to the start-up request can be counted.
        connect(
            MDatabaseService::GetInstance(), &MDatabaseService::OnDatabaseGetAllPatientBriefSucc,
            this, [this] { ++m_allPatientAnswers; }, Qt::QueuedConnection);
        m_window = std::make_unique<QuarvelPCSoftware>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_COMPARE(Rows(), 2);
    }
    void init() { FailOnWarnings(); }
    void cleanupTestCase()
    {
        m_window.reset();
        PatientData::GetInstance()->SetCurrentPatient(nullptr);
        delete MDatabaseService::GetInstance();
        m_db.reset();
    }

    void startUpFillsListAndRefusesWithoutPatient()
    {
        QCOMPARE(m_allPatientAnswers, 1);
        QVERIFY(QDir(Env().ExportDirectory()).exists());
        QCOMPARE(m_window->Form().lineEdit_Export_Path->text(), Env().ExportDirectory());
        QVERIFY(!m_window->Form().ImportButton->isEnabled());
        QVERIFY(m_window->isMaximized());

        // The two demo patients, both unread; the pseudo-patient shows "monitor".
        QVERIFY(RowIsBold(0) && RowIsBold(1));
        QCOMPARE(Cell(1, 0), QStringLiteral("demo_device_data"));
        QCOMPARE(QSet<QString>({Cell(0, 1), Cell(1, 1)}), QSet<QString>({"1", "monitor"}));

        // Nothing is current yet: export and print ask for a patient.
        ModalWatcher watcher;
        Click(m_window->Form().ExportButton);
        Click(m_window->Form().PrintButton);
        QCOMPARE(watcher.MessageBoxes(),
                 QStringList({SaveBox + "Please select a patient to export data!",
                              SaveBox + "Please select a patient to print!"}));
        QVERIFY(QDir(Env().ExportDirectory()).isEmpty());

        // A database that cannot be used is told, in the store's words; a usable
        // one is not. A server that cannot be reached is tried again without a restart.
        MDatabaseService *service = MDatabaseService::GetInstance();
        emit service->OnDatabaseOpenResult(DB_OK, QString());
        emit service->OnDatabaseOpenResult(DB_ERR_OPEN, "It is locked.");
        QTRY_COMPARE(watcher.MessageBoxes().size(), 3);
        Env().UseDatabaseSetting("postgresql://clinic@/vantrel");
        emit service->OnDatabaseOpenResult(DB_ERR_OPEN, "It is away.");
        QTRY_COMPARE(watcher.MessageBoxes().size(), 4);
        Env().UseDatabaseSetting(QString());
        QCOMPARE(
            watcher.MessageBoxes().mid(2),
            QStringList({"Database|It is locked.\n\nThe program keeps running, but patient data "
                         "cannot be shown or stored until the database can be used and the "
                         "program is started again.",
                         "Database|It is away.\n\nThe program keeps running and connects to the "
                         "server again by itself the next time patient data is read or stored; "
                         "nothing needs to be restarted."}));
    }
    void selectingRowLoadsPatientForExportAndPrint()
    {
        QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
        const QUuid uuid = RowId(1);
        QVERIFY(SelectAndLoad({1}));
        QCOMPARE(WorkTypes(spy), QList<uint>({12, 6, 10, 8}));
        QTRY_VERIFY(!RowIsBold(RowOf(uuid)));
        QVERIFY(RowIsBold(0));
        QVERIFY(PatientData::GetInstance()->GetCurrentPatient()->ReadFlag);

        Table()->clearSelection(); // keeps the current patient
        QCOMPARE(CurrentId(), uuid);

        // Refused leaving (unsaved edits kept) puts the current row back.
        auto *form = m_window->findChild<PatientDetailInfoView *>();
        m_window->PatientList()->SetLeaveCheck([] { return false; });
        Table()->setCurrentIndex(Table()->model()->index(0, 0));
        QTRY_COMPARE(Table()->currentIndex().row(), RowOf(uuid));
        m_window->PatientList()->SetLeaveCheck([form] { return form->ConfirmLeave(); });
        QCOMPARE(WorkTypes(spy).size(), 4);

        // An answer for a patient no longer selected is dropped.
        QVERIFY(SelectAndLoad({0}));
        m_window->OnDatabaseGetOnePatientDetailSucc(NewPatient(QString(), uuid));
        QCOMPARE(CurrentId(), RowId(0));

        // Export and print act on the current patient; a failed export says so.
        ModalWatcher watcher;
        // An export directory below a plain file cannot be created, even by root.
        QTemporaryFile blocker(Env().Root() + QStringLiteral("/blockerXXXXXX"));
        QVERIFY(blocker.open());
        MSettings::GetInstance()->SetExportFilePath(blocker.fileName() + "/export");
        Click(m_window->Form().ExportButton);
        MSettings::GetInstance()->SetExportFilePath(Env().ExportDirectory());
        bool previewed = false;
        watcher.AddDialogAction([&previewed](QDialog *dialog) {
            previewed = qobject_cast<QPrintPreviewDialog *>(dialog) != nullptr;
            dialog->reject();
        });
        Click(m_window->Form().PrintButton);
        QVERIFY(previewed);
        Click(m_window->Form().InfoButton);
        m_window->activateWindow(); // F1 is a shortcut of the active window
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(Table(), Qt::Key_F1);
        const QWidgetList tops = QApplication::topLevelWidgets();
        QVERIFY(std::any_of(tops.begin(), tops.end(), [](const QWidget *w) {
            return w->isVisible() && w->windowTitle() == "Vantrel Monitor - User manual";
        }));

        QCOMPARE(watcher.MessageBoxes().size(), 2);
        QVERIFY(QRegularExpression("^Export\\|Export Patient Data to '.+' failed!$")
                    .match(watcher.MessageBoxes()[0])
                    .hasMatch());
        QVERIFY(watcher.MessageBoxes()[1].startsWith("About Vantrel Monitor|Vantrel Monitor "));
        QVERIFY(watcher.MessageBoxes()[1].endsWith("No monitor connected"));
        // Once: the print refused at start-up is not logged.
        QCOMPARE(Env().LogText().count(QStringLiteral("PrintButtonClicked")), 1);
    }
    void importedPatientMovesToTopOnlyWhenNewer()
    {
        // The patient in the last row was updated an hour ago, as the list read again knows.
        const int last = Rows() - 1;
        const QUuid uuid = RowId(last);
        const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
        const uint shown = uint(hourAgo.toSecsSinceEpoch());
        QVERIFY(m_db->Sql("UPDATE Patient SET LastUpdateTime = '" +
                          hourAgo.toString("yyyy-MM-ddThh:mm:ss") + "'" + m_db->Where(uuid))
                    .isValid());
        Request(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0);
        QTRY_COMPARE(Data(last, 1, Qt::UserRole).toUInt(), shown);

        // An older brief record leaves the row where it is, a stranger's changes nothing.
        STU_DB_PATIENT_LIST *older = NewPatient({}, uuid), *stranger = NewPatient("Nobody");
        older->LastUpdateTime = hourAgo.addSecs(-60);
        stranger->LastUpdateTime = QDateTime::currentDateTime();
        emit MDatabaseService::GetInstance()->OnDatabaseGetOnePatientBriefSucc(older);
        emit MDatabaseService::GetInstance()->OnDatabaseGetOnePatientBriefSucc(stranger);
        QTest::qWait(50);
        QCOMPARE(RowOf(uuid), last);

        // A real import of a temperature: the store stamps and marks the patient unread, the
        // service reports it, the window asks for the brief record, the row moves up, bold again.
        Table()->clearSelection(); // moving a selected row would reload it
        auto *temperature = new STU_DB_TEMP_DATA_LIST;
        temperature->MeasureTime = QDateTime::currentDateTime().addDays(1);
        Request(DB_WORK_INSERT_TEMP_DATA, Param(new QUuid(uuid)), Param(temperature));
        QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
        QTRY_COMPARE(RowOf(uuid), 0);
        QCOMPARE(Rows(), last + 1);
        QVERIFY(RowIsBold(0));
        QCOMPARE(WorkTypes(spy), QList<uint>({DB_WORK_GET_ONE_PATIENT_BRIEF}));
        QVERIFY(Data(0, 1, Qt::UserRole).toUInt() > shown);
    }
    void importAndToolButtons()
    {
        CommunicationProcessControl *control = CommunicationProcessControl::GetInstance();
        const QLabel *status = m_window->Form().StatusBarLabel;
        QCOMPARE(status->text(), "No monitor connected");
        emit control->NewDeviceConnected();
        QVERIFY(m_window->Form().ImportButton->isEnabled());
        QCOMPARE(status->text(), "Monitor connected"); // this controller has no port open
        emit control->DeviceDisconnected();
        QVERIFY(!m_window->Form().ImportButton->isEnabled());
        QCOMPARE(status->text(), "No monitor connected");
        ModalWatcher watcher;
        // Queued: a box opens only once the emitting controller has returned.
        emit control->ImportSummaryReady(2, 8100, 0, 0, 0);
        const QString summary = "Import finished: 2 new patients, 8,100 new records, 0 already "
                                "stored; nothing failed";
        QCOMPARE(status->text(), summary + " \u2014 No monitor connected");
        emit control->ImportDataFinished();
        QVERIFY(watcher.MessageBoxes().isEmpty());
        QTRY_COMPARE(watcher.MessageBoxes().size(), 1);
        emit control->ImportDataFailed(1, 12);
        QTRY_COMPARE(watcher.MessageBoxes().size(), 2);
        emit control->ImportDataStalled();
        QTRY_COMPARE(watcher.MessageBoxes().size(), 3);
        emit control->DeviceOpenFailed(COM_OPEN_ACCESS_DENIED, "/dev/ttyACM0");
        QTRY_COMPARE(watcher.MessageBoxes().size(), 4);
        const QStringList boxes = watcher.MessageBoxes();
        QCOMPARE(boxes[0], "Import|Import patient data successfully!|" + summary);
        QVERIFY(boxes[1].startsWith(
            "Import|Import failed: 1 patient and 12 records could not be stored in the database."));
        QVERIFY(boxes[2].startsWith("Import|The monitor stopped answering"));
        QVERIFY(boxes[3].startsWith("Import|") && boxes[3].contains("\"dialout\" group"));

        QTest::keyClick(m_window->ViewStack()->widget(0)->findChild<QLineEdit *>("lineEdit_Name"),
                        Qt::Key_Escape);
        QTest::keyClick(Table(), Qt::Key_Escape);
        QVERIFY(m_window->isVisible());
    }
    void insertDeleteAndMergeRows()
    {
        // Three patients added as an import does: on top, unread; the last with two temperatures.
        const int rows = Rows();
        QList<QUuid> ids;
        for (const char *name : {"One", "Two", "Merged Away"}) {
            STU_DB_PATIENT_LIST *patient = NewPatient(QLatin1String(name));
            ids.prepend(patient->PatientID);
            Request(DB_WORK_INSERT_NEW_PATIENT, Param(patient), 0);
        }
        Request(DB_WORK_INSERT_TEMP_DATA, Param(new QUuid(ids.at(0))),
                Param(NewChain<STU_DB_TEMP_DATA_LIST>(2)));
        QTRY_COMPARE(Rows(), rows + 3);
        QCOMPARE(QList<QUuid>({RowId(0), RowId(1), RowId(2)}), ids);
        QVERIFY(RowIsBold(1));
        // The store's brief record, as old as the row, brings the record counts.
        STU_DB_PATIENT_LIST *brief = NewPatient("Two", ids.at(1));
        brief->LastUpdateTime = QDateTime::fromSecsSinceEpoch(Data(1, 1, Qt::UserRole).toUInt());
        brief->NIBPCount = 3, brief->TEMPCount = 4;
        m_window->OnDatabaseGetOnePatientBriefSucc(brief);
        QCOMPARE(RowOf(ids.at(1)), 1);

        // Two rows chosen, the current one named above the pages. Delete asks first: Return
        // and Escape keep them, so does Cancel; the Delete key asks as well.
        QVERIFY(SelectAndLoad({2, 1}));
        QCOMPARE(m_window->findChild<QLabel *>("CurrentPatientLabel")->text(), "One (ID 0)");
        QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
        QSignalSpy cleared(PatientData::GetInstance(), &PatientData::OnClearPatientData);
        auto asking = std::make_unique<ModalWatcher>();
        const auto answer = [&asking](const std::function<void(QMessageBox *)> &act) {
            asking->AddDialogAction([act](QDialog *box) { act(qobject_cast<QMessageBox *>(box)); });
        };
        answer([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Return); });
        answer([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
        answer([](QMessageBox *box) { ClickButton(box, "Cancel"); });
        answer([](QMessageBox *box) { ClickButton(box, "Delete"); });
        for (int i = 0; i < 3; ++i)
            Click(m_window->Form().DeleteButton);
        QVERIFY(spy.isEmpty());
        QTest::keyClick(Table(), Qt::Key_Delete);
        QCOMPARE(WorkTypes(spy), QList<uint>({2, 2}));
        QCOMPARE(asking->MessageBoxes().size(), 4);
        QCOMPARE(asking->MessageBoxes().first(),
                 "Delete|Delete these 2 patients and all their records? This cannot be undone.\n\n"
                 "One (ID 0): 0 records\nTwo (ID 0): 7 records");
        asking.reset();
        QTRY_COMPARE(Rows(), rows + 1);
        QVERIFY(RowOf(ids.at(1)) < 0 && RowOf(ids.at(2)) < 0);
        QCOMPARE(cleared.size(), 1);
        QVERIFY(!PatientData::GetInstance()->GetCurrentPatient());

        // A merge the database refuses takes the row away with its answer; the
        // list read again brings it back (and no deleted one), and a box says so.
        const QUuid kept = RowId(RowOf(ids.at(0)) == 0 ? 1 : 0);
        QVERIFY(m_db->Sql("CREATE TRIGGER refuse BEFORE DELETE ON Patient BEGIN SELECT "
                          "RAISE(ABORT, 'refused'); END")
                    .isValid());
        m_allPatientAnswers = 0;
        ModalWatcher watcher;
        Request(DB_WORK_MERGE_PATIENT_DATA, Param(new QUuid(kept)), Param(new QUuid(ids.at(0))));
        QTRY_COMPARE(m_allPatientAnswers, 1);
        QVERIFY(m_db->Sql("DROP TRIGGER refuse").isValid());
        const QString refused =
            "Merge|The patients could not be merged. Both patients are unchanged.";
        QTRY_COMPARE(watcher.MessageBoxes(), QStringList({refused}));
        QTRY_COMPARE(Rows(), rows + 1);
        QVERIFY(RowOf(ids.at(0)) >= 0);

        // Saved under that patient's name, the kept one is offered him; merged in the dialog,
        // his row goes and the kept one is reloaded holding his records too.
        QVERIFY(SelectAndLoad({RowOf(kept)}));
        const int temperatures = RecordChainLength(PatientData::GetInstance()->GetTEMPDataList());
        watcher.AddDialogAction(
            [](QDialog *dialog) { dialog->findChild<QPushButton *>("pushButton_Merge")->click(); });
        auto *form = m_window->findChild<PatientDetailInfoView *>();
        form->findChild<QLineEdit *>("lineEdit_Name")->setText("Merged Away");
        Click(form->findChild<QPushButton *>("pushButton_Save"));
        QTRY_COMPARE(watcher.MessageBoxes(), QStringList({refused, Saved}));
        QCOMPARE(watcher.DialogsSeen(), 1);
        QCOMPARE(Cell(RowOf(kept), 2), QStringLiteral("Merged Away"));
        QTRY_COMPARE(Rows(), rows);
        QCOMPARE(RowOf(ids.at(0)), -1);
        QTRY_COMPARE(RecordChainLength(PatientData::GetInstance()->GetTEMPDataList()),
                     temperatures + 2);
        QCOMPARE(CurrentId(), kept);
    }
    void settingsSaveAndMergeBits()
    {
        const Ui_PCViewer &ui = m_window->Form();
        // A cancelled directory choice keeps the path.
        const QString before = ui.lineEdit_Export_Path->text();
        ModalWatcher watcher; // rejects the chooser
        Click(ui.pushButton_Export_Browse);
        QCOMPARE(watcher.DialogsSeen(), 1);
        QCOMPARE(ui.lineEdit_Export_Path->text(), before);
        // An empty export path is refused, and nothing at all is saved.
        const auto fileText = [] {
            QFile file(MSettings::GetFilePath());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray stored = fileText();
        ui.checkBox_SocietyCode->setChecked(true);
        ui.lineEdit_Export_Path->clear();
        Click(ui.pushButton_Save);
        QCOMPARE(watcher.MessageBoxes(),
                 QStringList({"Settings|Please choose a folder for the exported files: the export "
                              "path cannot be empty. Nothing has been saved."}));
        QCOMPARE(fileText(), stored);
        QVERIFY(!MSettings::GetInstance()->IsPatientKeySocietyCode());

        for (QCheckBox *key : {ui.checkBox_DeviceSN, ui.checkBox_ID, ui.checkBox_SocietyCode,
                               ui.checkBox_Name, ui.checkBox_IdentityCode})
            key->setChecked(key == ui.checkBox_Name || key == ui.checkBox_IdentityCode);
        const QString newPath = Env().Root() + "/elsewhere";
        ui.lineEdit_Export_Path->setText(newPath);
        Click(ui.pushButton_Save);
        for (const QString &line :
             QStringList{"PATIENT_KEY_IDENTIFY_CODE = 1", "PATIENT_KEY_PATIENT_NAME = 1",
                         "PATIENT_KEY_DEVICE_SN = 0", "EXPORT_FILE_PATH = " + newPath})
            QVERIFY(QString::fromUtf8(fileText()).contains(line));
        QVERIFY(!QDir(newPath).exists()); // created at the next start, not here
    }
    void savesAndExportsStayWithTheirPatient()
    {
        // The keys are Name and IdentityCode (chosen above). With neither set in
        // the saved record, nobody is searched for and the save is confirmed.
        QVERIFY(SelectAndLoad({0}));
        const QUuid shown = RowId(0);
        QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
        ModalWatcher watcher;
        STU_DB_PATIENT_LIST *unnamed = CopyRecord(*PatientData::GetInstance()->GetCurrentPatient());
        SetRecordText(unnamed->Name, QString());
        SetRecordText(unnamed->IdentityCode, QString());
        m_window->OnDatabaseUpdateOnePatientDetailInfoSucc(unnamed);
        QTRY_COMPARE(watcher.MessageBoxes(), QStringList({Saved}));
        QCOMPARE(PatientData::GetInstance()->GetCurrentPatient(), unnamed);

        // A save answered after the selection moved on leaves the shown patient.
        m_window->OnDatabaseUpdateOnePatientDetailInfoSucc(NewPatient("Other", RowId(1)));
        QCOMPARE(CurrentId(), shown);
        QCOMPARE(WorkTypes(spy), QList<uint>({DB_WORK_SEARCH_PATIENT_TO_MERGE}));

        // Export clicked as soon as a newly chosen patient's details show writes all his records.
        const auto exported = [&] {
            Click(m_window->Form().ExportButton);
            const QString box = watcher.MessageBoxes().last();
            const QDir folder(box.section(QLatin1Char('\''), 1, 1));
            QStringList records{box.section(QLatin1Char('\''), 2)};
            for (const QString &name : folder.entryList(QDir::Files)) {
                QFile file(folder.filePath(name));
                records << (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
            }
            return records;
        };
        QVERIFY(SelectAndLoad({1}));
        const QStringList settled = exported();
        QVERIFY(SelectAndLoad({0}));
        QStringList early;
        QObject context;
        connect(
            PatientData::GetInstance(), &PatientData::OnPatientDetailInfoChanged, &context,
            [&] { early = exported(); }, Qt::SingleShotConnection);
        QVERIFY(SelectAndLoad({1}));
        QCOMPARE(early, settled);
        QCOMPARE(settled.size(), 5); // four files
        QCOMPARE(settled.first(), QStringLiteral(" successfully!"));
        QVERIFY(settled.join(QString()).count(QLatin1Char('\n')) > 3); // records to tell apart
    }
    // At the smallest usual size each tool button shows its page, nothing
    // clipped or scrolled, one font on all pages; restored, the window is centred.
    void pagesFitAndLookAlike()
    {
        QCOMPARE(WindowChrome::RestoredGeometry(QRect(0, 40, 1920, 1040)),
                 QRect(448, 176, 1024, 768));
        const auto restore =
            qScopeGuard([this, before = m_window->geometry()] { m_window->setGeometry(before); });
        m_window->setGeometry(QRect(0, 0, 1024, 768));
        const Ui_PCViewer &ui = m_window->Form();
        const auto *scroll = m_window->findChild<QScrollArea *>(QStringLiteral("ViewScrollArea"));
        int page = 0;
        for (QToolButton *button :
             {ui.TableToolButton, ui.TrendToolButton, ui.PatientInfoToolButton}) {
            Click(button);
            QWidget *view = m_window->ViewStack()->widget(++page % 3);
            QCOMPARE(m_window->ViewStack()->currentWidget(), view);
            QTest::qWait(20);
            QVERIFY(!scroll->verticalScrollBar()->isVisible());
            for (const auto *radio : view->findChildren<QRadioButton *>())
                QVERIFY2(radio->width() >= radio->sizeHint().width(), qPrintable(radio->text()));
            for (const auto *table : view->findChildren<QTableView *>())
                QVERIFY(!table->horizontalScrollBar()->isVisible());
            for (const QWidget *child : view->findChildren<QWidget *>()) // buttons size their own
                QVERIFY(qobject_cast<const QPushButton *>(child) ||
                        child->window() != m_window.get() || child->font().pixelSize() == 13);
        }
    }
    // The status line is readable (WCAG contrast at least 4.5:1) and tells the monitor's port,
    // an import's counts, and a saved setting.
    void statusLineTellsAndCanBeRead()
    {
        QLabel *label = m_window->Form().StatusBarLabel;
        label->ensurePolished();
        const auto luminance = [](const QColor &colour) {
            const auto linear = [](double c) {
                return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
                   0.0722 * linear(colour.blueF());
        };
        const double text = luminance(label->palette().color(label->foregroundRole()));
        const double back = luminance(label->palette().color(label->backgroundRole()));
        QVERIFY2((std::max(text, back) + 0.05) / (std::min(text, back) + 0.05) >= 4.5,
                 qPrintable(label->palette().color(label->backgroundRole()).name()));

        QLabel line;
        StatusBar bar(&line);
        bar.MonitorConnected("/dev/ttyACM0");
        QCOMPARE(line.text(), "Monitor connected on /dev/ttyACM0");
        bar.ShowProgress("Importing patient 1 of 2");
        QCOMPARE(line.text(), "Importing patient 1 of 2");
        bar.ShowSummary(0, 1, 8100, 1, 12);
        QCOMPARE(line.text(),
                 "Import finished: 0 new patients, 1 new record, 8,100 already stored; "
                 "not stored: 1 patient, 12 records \u2014 Monitor connected on "
                 "/dev/ttyACM0");
        Click(m_window->Form().pushButton_Save);
        QCOMPARE(label->text(), "Settings saved");
    }
    // The title bar hands moving to the window system, the edges resizing (the offscreen
    // platform declines both), a double-click maximises and restores; at 1024 x 600 every
    // control of the Desktop tab is inside the window (the pages scroll).
    void windowMovesResizesAndToggles()
    {
        const QRect area(0, 0, 1000, 800);
        const QList<QPair<QPoint, Qt::Edges>> hits = {{{2, 400}, Qt::LeftEdge},
                                                      {{998, 400}, Qt::RightEdge},
                                                      {{500, 1}, Qt::TopEdge},
                                                      {{500, 797}, Qt::BottomEdge},
                                                      {{1, 1}, Qt::TopEdge | Qt::LeftEdge},
                                                      {{999, 799}, Qt::BottomEdge | Qt::RightEdge},
                                                      {{500, 400}, {}}};
        for (const auto &[point, edges] : hits)
            QCOMPARE(WindowChrome::EdgesAt(area, point), edges);

        QWidget *header = m_window->Form().Header;
        m_window->showNormal();
        QTest::mouseDClick(header, Qt::LeftButton, {}, QPoint(400, 15));
        QTRY_VERIFY(m_window->isMaximized());
        QTest::mouseDClick(header, Qt::LeftButton, {}, QPoint(400, 15));
        QTRY_VERIFY(!m_window->isMaximized());
        m_window->setGeometry(0, 0, 1024, 600);
        QSignalSpy drags(m_window->findChild<WindowChrome *>(), &WindowChrome::DragHandedOver);
        // The title bar moves the window only once the mouse moves, so that a
        // double-click is not taken by the window manager.
        QTest::mousePress(header, Qt::LeftButton, {}, QPoint(400, 15));
        QCOMPARE(drags.size(), 0);
        QMouseEvent drag(QEvent::MouseMove, QPointF(420, 25), header->mapToGlobal(QPointF(420, 25)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(header, &drag);
        QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(420, 25));
        QTest::mousePress(m_window.get(), Qt::LeftButton, {}, QPoint(1, 300));
        QTest::mousePress(m_window.get(), Qt::LeftButton, {}, QPoint(1022, 598));
        QCOMPARE(drags.size(), 3);
        QCOMPARE(drags.at(0).at(0).value<Qt::Edges>(), Qt::Edges());
        QCOMPARE(drags.at(1).at(0).value<Qt::Edges>(), Qt::LeftEdge);
        QCOMPARE(drags.at(2).at(0).value<Qt::Edges>(), Qt::RightEdge | Qt::BottomEdge);

        QTest::qWait(20);
        const auto *pages = m_window->findChild<QScrollArea *>(QStringLiteral("ViewScrollArea"));
        for (const QWidget *control : m_window->Form().WorkStationTab->findChildren<QWidget *>()) {
            const bool reachable = qobject_cast<const QAbstractButton *>(control) ||
                                   qobject_cast<const QLineEdit *>(control) ||
                                   qobject_cast<const QAbstractItemView *>(control);
            if (reachable && control->isVisibleTo(m_window.get()) && !pages->isAncestorOf(control))
                QVERIFY2(m_window->rect().contains(
                             QRect(control->mapTo(m_window.get(), QPoint()), control->size())),
                         qPrintable(control->objectName()));
        }
        QTest::mouseDClick(header, Qt::LeftButton, {}, QPoint(400, 15));
        QTRY_VERIFY(m_window->isMaximized());
    }
    void changesElsewhereReachTheList()
    {
        // Another workstation adds a patient, then deletes him while he is shown.
        const auto elsewhere = [this](const QString &sql) {
            const bool ok = m_db->Sql(sql).isValid();
            emit MDatabaseService::GetInstance()->OnDatabaseChangedElsewhere();
            return ok;
        };
        const int rows = Rows();
        const QUuid id = QUuid::createUuid();
        QVERIFY(elsewhere("INSERT INTO Patient(PatientID, Name, LastUpdateTime) VALUES(" +
                          m_db->Key(id) + ", 'Elsewhere', '2099-01-01T00:00:00')"));
        QTRY_COMPARE(Rows(), rows + 1);
        QCOMPARE(RowId(0), id);
        QVERIFY(SelectAndLoad({0}));
        QSignalSpy cleared(PatientData::GetInstance(), &PatientData::OnClearPatientData);
        QVERIFY(elsewhere("DELETE FROM Patient" + m_db->Where(id)));
        QTRY_COMPARE(Rows(), rows);
        QCOMPARE(cleared.count(), 1);
        QVERIFY(!PatientData::GetInstance()->GetCurrentPatient());
    }
    // The search keeps the list's order and matches name, ID as shown, SN and identity code in
    // any case and script; the tooltip tells look-alikes apart. A change elsewhere to one
    // patient reads his brief record only.
    void searchAndTooltipTellPatientsApart()
    {
        const int all = Rows();
        const auto add = [this](const char *sn, quint32 id, const char *name, const char *code) {
            STU_DB_PATIENT_LIST *patient = NewPatient(QString::fromUtf8(name));
            SetRecordText(patient->DeviceSN, QString::fromLatin1(sn));
            SetRecordText(patient->IdentityCode, QString::fromLatin1(code));
            patient->IdInDevice = id;
            patient->LastUpdateTime = QDateTime::currentDateTime().addSecs(-60);
            patient->NIBPCount = 2, patient->SPO2Count = 1;
            patient->NewestMeasureTime = QDateTime(QDate(2026, 3, 1), QTime(9, 30));
            m_window->OnDatabaseInsertNewPatientSucc(patient);
        };
        // Names no demo patient has: which of them an earlier test renamed depends on the clock.
        add("VT01", 6, "王五", "ID-77");
        add("VT02", 6, "Wang Wu", "ID-78");
        add("VT03", MONITOR_PSEUDO_PATIENT_ID, "", "");
        QCOMPARE(Data(1, 2, Qt::ToolTipRole).toString(),
                 "NIBP records: 2\nSpO2 records: 1\nTemperature records: 0\n"
                 "Newest measure: 2026-03-01 09:30:00");
        auto *search = m_window->Form().PatientSearchEdit;
        const auto shown = [this] {
            QStringList names;
            for (int row = 0; row < Rows(); ++row)
                names << Cell(row, 0);
            return names.join(QLatin1Char(' '));
        };
        const QList<QPair<QString, QString>> cases = {
            {"王", "VT01"},        {"wang", "VT02"}, {"vt0", "VT03 VT02 VT01"},
            {"id-7", "VT02 VT01"}, {"MONI", "VT03"}, {"  ", ""}};
        for (const auto &[text, expected] : cases) {
            search->setText(text);
            QCOMPARE(shown().left(expected.size()), expected);
        }
        QCOMPARE(Rows(), all + 3); // the blank search shows them all
        QCOMPARE(m_window->Form().PatientCountLabel->text(),
                 QStringLiteral("%1 of %1 patients").arg(all + 3));
        search->setText("王");
        QCOMPARE(m_window->Form().PatientCountLabel->text(),
                 QStringLiteral("1 of %1 patients").arg(all + 3));
        search->clear();

        QSignalSpy spy(m_window.get(), &QuarvelPCSoftware::GetDataFromDatabaseRequest);
        emit MDatabaseService::GetInstance()->OnPatientChangedElsewhere(new QUuid(RowId(0)));
        QTRY_COMPARE(WorkTypes(spy), QList<uint>({DB_WORK_GET_ONE_PATIENT_BRIEF}));
    }
    // Closing stores what is still queued for the database, stops its thread and
    // closes the file, so no journal is left behind. This test runs last for that reason.
    void closingStoresQueuedWork()
    {
        const QUuid id = QUuid::createUuid();
        Request(DB_WORK_INSERT_NEW_PATIENT, Param(NewPatient("Late", id)), 0);
        for (int chain = 0; chain < 100; ++chain) {
            auto *head = NewChain<STU_DB_NIBP_DATA_LIST>(20);
            for (auto *record = head; record; record = record->pNext)
                record->MeasureTime = record->MeasureTime.addDays(chain);
            Request(DB_WORK_INSERT_NIBP_DATA, Param(new QUuid(id)), Param(head));
        }
        Click(m_window->Form().CloseButton);
        QVERIFY(!m_window->isVisible());
        QVERIFY(Env().LogText().contains("database service stopped."));
        QCOMPARE(m_db->Count("SELECT COUNT(*) FROM NIBPData" + m_db->Where(id)), 2000);
        QVERIFY(!QFile::exists(m_db->File() + "-journal"));
    }

private:
    static quintptr Param(const void *pointer) { return reinterpret_cast<quintptr>(pointer); }
    static void Click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    // A box without that button is rejected.
    static void ClickButton(QMessageBox *box, const QString &text)
    {
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == text)
                return button->click();
        }
        box->reject();
    }
    QTableView *Table() const { return m_window->Form().PatientListTable; }
    int Rows() const { return Table()->model()->rowCount(); }
    QVariant Data(int row, int column, int role = Qt::DisplayRole) const
    {
        return Table()->model()->index(row, column).data(role);
    }
    QString Cell(int row, int column) const { return Data(row, column).toString(); }
    QUuid RowId(int row) const { return Data(row, 0, Qt::UserRole).toUuid(); }
    int RowOf(const QUuid &uuid) const
    {
        int row = Rows() - 1;
        while (row >= 0 && RowId(row) != uuid)
            --row;
        return row;
    }
    bool RowIsBold(int row) const
    {
        for (int column = 0; column < 3; ++column) {
            if (!Data(row, column, Qt::FontRole).value<QFont>().bold())
                return false;
        }
        return true;
    }
    void Request(uint type, quintptr wParam, quintptr lParam)
    {
        emit m_window->GetDataFromDatabaseRequest(type, wParam, lParam);
    }
    QUuid CurrentId() const { return PatientData::GetInstance()->GetCurrentPatient()->PatientID; }
    // Selects the rows in this order and waits until the patient is loaded.
    bool SelectAndLoad(const QList<int> &rows)
    {
        // The temperature list is the last of the four answers to a selection.
        QSignalSpy lastAnswer(PatientData::GetInstance(), &PatientData::OnPatientTEMPDataChanged);
        const QUuid uuid = RowId(rows.first());
        // Chosen afresh: no current row first. Then the first is made current, the others
        // join the selection.
        Table()->setCurrentIndex(QModelIndex());
        QCoreApplication::processEvents();
        const auto rowsOnly = QItemSelectionModel::Rows;
        Table()->selectionModel()->setCurrentIndex(Table()->model()->index(rows.first(), 0),
                                                   QItemSelectionModel::ClearAndSelect | rowsOnly);
        for (int row : rows.mid(1))
            Table()->selectionModel()->select(Table()->model()->index(row, 0),
                                              QItemSelectionModel::Select | rowsOnly);
        return QTest::qWaitFor([&] {
            return PatientData::GetInstance()->GetCurrentPatient() && CurrentId() == uuid &&
                   !lastAnswer.isEmpty();
        });
    }

    // The store's file, and statements run on it as another workstation would.
    std::unique_ptr<TestDatabase> m_db;
    TestEnvironment &Env() const { return m_db->Env(); }
    std::unique_ptr<QuarvelPCSoftware> m_window;
    int m_allPatientAnswers = 0;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

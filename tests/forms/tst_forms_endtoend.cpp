#include "MDatabaseService.h"
#include "MSettings.h"
#include "ModalWatcher.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "TestEnvironment.h"
#include "TestRecords.h"
#include "quarvelpcsoftware.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

const QString MergedName = QStringLiteral("Mira Holt");

template <typename Record> quintptr Chain(int count)
{
    return reinterpret_cast<quintptr>(NewChain<Record>(count));
}

} // namespace

// Edits a demo patient through the real main window so that he looks like an
// imported one, saves, merges in the dialog and checks what is left.
class TestFormsEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { FailOnWarnings(); }
    void EditSaveAndMerge();

private:
    QTableWidget *Table() const { return m_window->findChild<QTableWidget *>("PatientListTable"); }
    void Post(uint type, quintptr wParam, quintptr lParam);
    void Drain();

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<QuarvelPCSoftware> m_window;
};

// Before init(): the window's mask is not supported offscreen, which warns.
void TestFormsEndToEnd::initTestCase()
{
    RegisterDatabaseMetaTypes();
    m_env = std::make_unique<TestEnvironment>();
    m_window = std::make_unique<QuarvelPCSoftware>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_COMPARE_WITH_TIMEOUT(Table()->rowCount(), 2, 10000);
}

void TestFormsEndToEnd::cleanupTestCase()
{
    Drain();
    m_window.reset();
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
    delete MDatabaseService::GetInstance();
    m_env.reset();
}

void TestFormsEndToEnd::Post(uint type, quintptr wParam, quintptr lParam)
{
    MDatabaseService *service = MDatabaseService::GetInstance();
    QMetaObject::invokeMethod(
        service, [=] { service->ProcessDatabaseTaskProc(type, wParam, lParam); },
        Qt::QueuedConnection);
}

// Lets every answer still on its way, and the work it causes, arrive: they
// own records that would otherwise be lost. Type 11 is no work type; its only
// answer is a result signal nobody else listens to.
void TestFormsEndToEnd::Drain()
{
    for (int round = 0; round < 3; ++round) {
        QObject context; // disconnects when it goes
        bool answered = false;
        connect(
            MDatabaseService::GetInstance(), &MDatabaseService::OnDatabaseProcessResult, &context,
            [&](uint iWorkType) { answered = answered || iWorkType == 11; }, Qt::QueuedConnection);
        Post(11, 0, 0);
        QVERIFY2(QTest::qWaitFor([&] { return answered; }, 10000), "no answer from the service");
        QCoreApplication::processEvents();
    }
}

void TestFormsEndToEnd::EditSaveAndMerge()
{
    // A second patient with records of his own, as an import would store him.
    STU_DB_PATIENT_LIST *imported = NewPatient(MergedName);
    const QUuid importedId = imported->PatientID;
    auto newId = [&] { return reinterpret_cast<quintptr>(new QUuid(importedId)); };
    Post(DB_WORK_INSERT_NEW_PATIENT, reinterpret_cast<quintptr>(imported), 0);
    Post(DB_WORK_INSERT_NIBP_DATA, newId(), Chain<STU_DB_NIBP_DATA_LIST>(3));
    Post(DB_WORK_INSERT_SPO2_DATA, newId(), Chain<STU_DB_SPO2_DATA_LIST>(1));
    Post(DB_WORK_INSERT_TEMP_DATA, newId(), Chain<STU_DB_TEMP_DATA_LIST>(2));
    QTRY_COMPARE_WITH_TIMEOUT(Table()->rowCount(), 3, 10000);

    // Select a demo patient and wait until the form and his lists are there.
    const QList<QTableWidgetItem *> demo =
        Table()->findItems(QString::fromUtf8("张三"), Qt::MatchExactly);
    QCOMPARE(demo.size(), 1);
    Table()->clearSelection();
    Table()->selectRow(demo[0]->row());
    auto *form = m_window->findChild<PatientDetailInfoView *>();
    auto *name = form->findChild<QLineEdit *>("lineEdit_Name");
    QTRY_COMPARE_WITH_TIMEOUT(name->text(), QString::fromUtf8("张三"), 10000);
    PatientData *model = PatientData::GetInstance();
    QTRY_COMPARE_WITH_TIMEOUT(RecordChainLength(model->GetTEMPDataList()), 200, 10000);
    // The start-up selection's answers may still be on their way; arriving
    // after the edit they would put the stored name back into the form.
    Drain();
    const QUuid demoId = model->GetCurrentPatient()->PatientID;

    // Without a patient key the save looks for no look-alike and confirms nothing.
    ModalWatcher watcher;
    MSettings::GetInstance()->SetPatientKeyPatientName(false);
    name->setText(MergedName);
    QTest::mouseClick(form->findChild<QPushButton *>("pushButton_Save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(demo[0]->text(), MergedName, 10000);
    Drain();
    QVERIFY(watcher.MessageBoxes().isEmpty());

    // With the Name key the imported patient is offered, and merged.
    MSettings::GetInstance()->SetPatientKeyPatientName(true);
    watcher.AddDialogAction(
        [](QDialog *dialog) { dialog->findChild<QPushButton *>("pushButton_Merge")->click(); });
    QTest::mouseClick(form->findChild<QPushButton *>("pushButton_Save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(
        watcher.MessageBoxes(),
        QStringList({"Save Patient Information|Save patient detail information successfully!"}),
        10000);
    QCOMPARE(watcher.DialogsSeen(), 1);

    // The other's row is gone; the saved patient, still selected, is reloaded
    // holding both patients' records.
    QTRY_COMPARE_WITH_TIMEOUT(Table()->rowCount(), 2, 10000);
    const QModelIndexList selected = Table()->selectionModel()->selectedRows(2);
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0].data().toString(), MergedName);
    QTRY_COMPARE_WITH_TIMEOUT(RecordChainLength(model->GetNIBPDataList()), 203, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(RecordChainLength(model->GetSPO2DataList()), 201, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(RecordChainLength(model->GetTEMPDataList()), 202, 10000);
    QCOMPARE(model->GetCurrentPatient()->PatientID, demoId);
}

QTEST_MAIN(TestFormsEndToEnd)
#include "tst_forms_endtoend.moc"

#include "MDatabaseService.h"
#include "ModalWatcher.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "TestEnvironment.h"
#include "quarvelpcsoftware.h"

#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {

const QString MergedName = QStringLiteral("Mira Holt");

template <typename Record> Record *Chain(int count, const QDateTime &start)
{
    Record *head = nullptr;
    for (int i = count - 1; i >= 0; --i) {
        auto *record = new Record;
        record->MeasureTime = start.addSecs(i * 600);
        record->pNext = head;
        head = record;
    }
    return head;
}

} // namespace

// Edits a demo patient through the real main window so that he looks like an
// imported one, saves, merges in the dialog and checks what the store holds.
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
    QUuid RowId(int row) const;
    int RowOf(const QString &name) const;
    void Post(uint type, quintptr wParam, quintptr lParam);
    int Count(const QString &table, const QUuid &id) const;
    void Drain();

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<QuarvelPCSoftware> m_window;
    const QString m_connection = QStringLiteral("FormsEndToEndCheck");
};

void TestFormsEndToEnd::initTestCase()
{
    RegisterDatabaseMetaTypes();
    m_env = std::make_unique<TestEnvironment>();
    m_window = std::make_unique<QuarvelPCSoftware>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_COMPARE_WITH_TIMEOUT(Table()->rowCount(), 2, 10000);

    QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    check.setDatabaseName(QDir(m_env->DatabaseDirectory()).filePath(QStringLiteral("Data.db")));
    QVERIFY(check.open());
}

void TestFormsEndToEnd::cleanupTestCase()
{
    Drain();
    QSqlDatabase::database(m_connection).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_window.reset();
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
    delete MDatabaseService::GetInstance();
    m_env.reset();
}

QUuid TestFormsEndToEnd::RowId(int row) const
{
    return QUuid::fromString(
        QLatin1String(Table()->item(row, 0)->data(Qt::UserRole).toByteArray()));
}

int TestFormsEndToEnd::RowOf(const QString &name) const
{
    for (int row = 0; row < Table()->rowCount(); ++row)
        if (Table()->item(row, 2)->text() == name)
            return row;
    return -1;
}

void TestFormsEndToEnd::Post(uint type, quintptr wParam, quintptr lParam)
{
    MDatabaseService *service = MDatabaseService::GetInstance();
    QMetaObject::invokeMethod(
        service, [=] { service->ProcessDatabaseTaskProc(type, wParam, lParam); },
        Qt::QueuedConnection);
}

// Lets every answer still on its way, and the work it causes, arrive: they
// own records that would otherwise be lost when the test ends. Type 11 is no
// work type; its only answer is a result signal nobody else listens to.
void TestFormsEndToEnd::Drain()
{
    for (int round = 0; round < 3; ++round) {
        bool answered = false;
        const auto connection = connect(
            MDatabaseService::GetInstance(), &MDatabaseService::OnDatabaseProcessResult, this,
            [&](uint iWorkType) { answered = answered || iWorkType == 11; }, Qt::QueuedConnection);
        Post(11, 0, 0);
        const bool drained = QTest::qWaitFor([&] { return answered; }, 10000);
        disconnect(connection);
        if (!drained)
            QTest::qFail("the database service did not answer", __FILE__, __LINE__);
        QCoreApplication::processEvents();
    }
}

int TestFormsEndToEnd::Count(const QString &table, const QUuid &id) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE PatientID = :id").arg(table));
    query.bindValue(QStringLiteral(":id"), id.toByteArray());
    if (!query.exec() || !query.next())
        return -1;
    return query.value(0).toInt();
}

void TestFormsEndToEnd::EditSaveAndMerge()
{
    // A second patient with records of his own, as an import would store him.
    auto *imported = new STU_DB_PATIENT_LIST;
    const QUuid importedId = QUuid::createUuid();
    imported->PatientID = importedId;
    SetRecordText(imported->DeviceSN, QStringLiteral("SN-E2E"));
    imported->IdInDevice = 5;
    SetRecordText(imported->Name, MergedName);
    const QDateTime start(QDate(2020, 1, 6), QTime(8, 0));
    Post(DB_WORK_INSERT_NEW_PATIENT, reinterpret_cast<quintptr>(imported), 0);
    Post(DB_WORK_INSERT_NIBP_DATA, reinterpret_cast<quintptr>(new QUuid(importedId)),
         reinterpret_cast<quintptr>(Chain<STU_DB_NIBP_DATA_LIST>(3, start)));
    Post(DB_WORK_INSERT_SPO2_DATA, reinterpret_cast<quintptr>(new QUuid(importedId)),
         reinterpret_cast<quintptr>(Chain<STU_DB_SPO2_DATA_LIST>(1, start)));
    Post(DB_WORK_INSERT_TEMP_DATA, reinterpret_cast<quintptr>(new QUuid(importedId)),
         reinterpret_cast<quintptr>(Chain<STU_DB_TEMP_DATA_LIST>(2, start)));
    QTRY_COMPARE_WITH_TIMEOUT(Table()->rowCount(), 3, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(Count(QStringLiteral("TEMPData"), importedId), 2, 10000);

    // Select a demo patient and wait until the form and his lists are there.
    const int demoRow = RowOf(QString::fromUtf8("张三"));
    QVERIFY(demoRow >= 0);
    const QUuid demoId = RowId(demoRow);
    Table()->clearSelection();
    Table()->selectRow(demoRow);
    auto *form = m_window->findChild<PatientDetailInfoView *>();
    QVERIFY(form);
    auto *name = form->findChild<QLineEdit *>("lineEdit_Name");
    QTRY_COMPARE_WITH_TIMEOUT(name->text(), QString::fromUtf8("张三"), 10000);
    PatientData *model = PatientData::GetInstance();
    QTRY_COMPARE_WITH_TIMEOUT(RecordChainLength(model->GetTEMPDataList()), 200, 10000);
    const int demoNibp = Count(QStringLiteral("NIBPData"), demoId);
    QCOMPARE(demoNibp, 200);

    ModalWatcher watcher;
    QStringList dialogHeaders;
    watcher.AddDialogAction([&](QDialog *dialog) {
        auto *table = dialog->findChild<QTableWidget *>("tableWidget_Patient");
        for (int c = 0; c < table->columnCount(); ++c)
            dialogHeaders << table->horizontalHeaderItem(c)->text();
        dialog->findChild<QPushButton *>("pushButton_Merge")->click();
    });
    name->setText(MergedName);
    QTest::mouseClick(form->findChild<QPushButton *>("pushButton_Save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(
        watcher.MessageBoxes(),
        QStringList({"Save Patient Information|Save patient detail information successfully!"}),
        10000);
    QCOMPARE(watcher.DialogsSeen(), 1);
    QCOMPARE(dialogHeaders, QStringList({"Item", "New", "Old"}));

    // The saved patient remains with both patients' records; the other is gone.
    QTRY_COMPARE_WITH_TIMEOUT(Table()->rowCount(), 2, 10000);
    for (int row = 0; row < Table()->rowCount(); ++row)
        QVERIFY(RowId(row) != importedId);
    QTRY_COMPARE_WITH_TIMEOUT(Count(QStringLiteral("Patient"), importedId), 0, 10000);
    QCOMPARE(Count(QStringLiteral("Patient"), demoId), 1);
    QCOMPARE(Count(QStringLiteral("NIBPData"), demoId), 203);
    QCOMPARE(Count(QStringLiteral("SPO2Data"), demoId), 201);
    QCOMPARE(Count(QStringLiteral("TEMPData"), demoId), 202);
    QCOMPARE(Count(QStringLiteral("NIBPData"), importedId), 0);
    QCOMPARE(Table()->item(RowOf(MergedName), 2)->text(), MergedName);
    QCOMPARE(RowId(RowOf(MergedName)), demoId);
    // The selection is reloaded with the merged records.
    QTRY_COMPARE_WITH_TIMEOUT(RecordChainLength(model->GetNIBPDataList()), 203, 10000);
    QCOMPARE(model->GetCurrentPatient()->PatientID, demoId);
    QCOMPARE(name->text(), MergedName);
}

QTEST_MAIN(TestFormsEndToEnd)
#include "tst_forms_endtoend.moc"

#include "PatientData.h"
#include "TestEnvironment.h"
#include "TrendPatient.h"
#include "TrendTableView.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {

QStringList HeaderTexts(const QTableWidget *pTable)
{
    QStringList texts;
    for (int i = 0; i < pTable->columnCount(); ++i) {
        texts << pTable->model()->headerData(i, Qt::Horizontal).toString();
    }
    return texts;
}

QStringList RowTexts(const QTableWidget *pTable, int iRow)
{
    QStringList texts;
    for (int i = 0; i < pTable->columnCount(); ++i) {
        const QTableWidgetItem *pItem = pTable->item(iRow, i);
        texts << (pItem != nullptr ? pItem->text() : QStringLiteral("<none>"));
    }
    return texts;
}

// Wires a view to the model as the main window does.
std::unique_ptr<TrendTableView> ConnectedView()
{
    auto view = std::make_unique<TrendTableView>();
    PatientData *pData = PatientData::GetInstance();
    QObject::connect(pData, &PatientData::OnPatientNIBPDataChanged, view.get(),
                     &TrendTableView::OnPatientNIBPDataChanged);
    QObject::connect(pData, &PatientData::OnPatientSPO2DataChanged, view.get(),
                     &TrendTableView::OnPatientSPO2DataChanged);
    QObject::connect(pData, &PatientData::OnPatientTEMPDataChanged, view.get(),
                     &TrendTableView::OnPatientTEMPDataChanged);
    QObject::connect(pData, &PatientData::OnClearPatientData, view.get(),
                     &TrendTableView::OnClearPatientData);
    return view;
}

TrendPatient ExamplePatient()
{
    TrendPatient patient;
    patient.nibp = {{TrendPatient::At(2016, 6, 1, 8, 5, 9), 120, 80, 93, 72},
                    {TrendPatient::At(2016, 6, 1, 20, 15, 0), 135, 0, 101, 300}};
    patient.spo2 = {{TrendPatient::At(2016, 6, 1, 8, 6, 0), 98, 71},
                    {TrendPatient::At(2016, 6, 2, 9, 7, 1), 97, 70},
                    {TrendPatient::At(2016, 6, 3, 23, 59, 59), 100, 65535}};
    return patient;
}

} // namespace

class TestTrendTableView : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void formBeforeFirstRefill();
    void patientRowsAndEmptyTemperatureTable();
    void temperatureTexts();
    void clearShowsNumberedHeaders();
    void doubleClickOpensNoEditor();

private:
    TestEnvironment m_env;
};

void TestTrendTableView::formBeforeFirstRefill()
{
    TrendTableView view;
    QCOMPARE(view.objectName(), QStringLiteral("TrendTable"));
    QCOMPARE(view.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(HeaderTexts(view.NIBPTable()), QStringList({"Time", "Sys", "Dia", "Mean", "PR"}));
    QCOMPARE(HeaderTexts(view.SPO2Table()), QStringList({"Time", "SPO2", "PR"}));
    QCOMPARE(HeaderTexts(view.TEMPTable()), QStringList({"Time", "Temp"}));
    QCOMPARE(view.findChild<QLabel *>("label_3")->text(), QStringLiteral("TEMP"));
    for (QTableWidget *pTable : {view.NIBPTable(), view.SPO2Table(), view.TEMPTable()}) {
        QCOMPARE(pTable->rowCount(), 0);
        QCOMPARE(pTable->minimumHeight(), 250);
        QCOMPARE(pTable->maximumHeight(), 250);
        QCOMPARE(pTable->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(pTable->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(pTable->horizontalHeader()->stretchLastSection());
    }
}

void TestTrendTableView::patientRowsAndEmptyTemperatureTable()
{
    auto view = ConnectedView();
    ExamplePatient().Deliver();

    const QTableWidget *pNibp = view->NIBPTable();
    QCOMPARE(HeaderTexts(pNibp), QStringList({"Time", "Sys", "Dia", "Mean", "Pr"}));
    QCOMPARE(pNibp->rowCount(), 2);
    QCOMPARE(RowTexts(pNibp, 0), QStringList({"2016-06-01 08:05:09", "120", "80", "93", "72"}));
    QCOMPARE(RowTexts(pNibp, 1), QStringList({"2016-06-01 20:15:00", "135", "0", "101", "300"}));
    QCOMPARE(QList<int>({pNibp->columnWidth(0), pNibp->columnWidth(1), pNibp->columnWidth(2),
                         pNibp->columnWidth(3)}),
             QList<int>({320, 120, 120, 120}));

    const QTableWidget *pSpo2 = view->SPO2Table();
    QCOMPARE(pSpo2->rowCount(), 3);
    QCOMPARE(RowTexts(pSpo2, 0), QStringList({"2016-06-01 08:06:00", "98", "71"}));
    QCOMPARE(RowTexts(pSpo2, 2), QStringList({"2016-06-03 23:59:59", "100", "65535"}));
    QCOMPARE(pSpo2->columnWidth(0), 200);

    QCOMPARE(HeaderTexts(view->TEMPTable()), QStringList({"Time", "Temp"}));
    QCOMPARE(view->TEMPTable()->rowCount(), 0);

    // A second patient replaces every row, nothing of the first one stays.
    TrendPatient second;
    second.nibp = {{TrendPatient::At(2020, 1, 2, 3, 4, 5), 1, 2, 3, 4}};
    second.Deliver();
    QCOMPARE(pNibp->rowCount(), 1);
    QCOMPARE(RowTexts(pNibp, 0), QStringList({"2020-01-02 03:04:05", "1", "2", "3", "4"}));
    QCOMPARE(pSpo2->rowCount(), 0);
    QCOMPARE(HeaderTexts(pSpo2), QStringList({"Time", "SPO2", "PR"}));
}

void TestTrendTableView::temperatureTexts()
{
    auto view = ConnectedView();
    TrendPatient patient;
    patient.temp = {{TrendPatient::At(2016, 6, 1, 8, 0, 0), 36.6f},
                    {TrendPatient::At(2016, 6, 1, 9, 0, 0), 37.0f},
                    {TrendPatient::At(2016, 6, 1, 10, 0, 0), 36.55f},
                    {TrendPatient::At(2016, 6, 1, 11, 0, 0), 0.0f}};
    patient.Deliver();
    const QTableWidget *pTemp = view->TEMPTable();
    QCOMPARE(pTemp->rowCount(), 4);
    QCOMPARE(RowTexts(pTemp, 0), QStringList({"2016-06-01 08:00:00", "36.6"}));
    QCOMPARE(pTemp->item(1, 1)->text(), QStringLiteral("37"));
    QCOMPARE(pTemp->item(2, 1)->text(), QStringLiteral("36.55"));
    QCOMPARE(pTemp->item(3, 1)->text(), QStringLiteral("0"));
    QCOMPARE(pTemp->columnWidth(0), 240);
}

void TestTrendTableView::clearShowsNumberedHeaders()
{
    auto view = ConnectedView();
    TrendPatient patient = ExamplePatient();
    patient.temp = {{TrendPatient::At(2016, 6, 1, 8, 0, 0), 36.6f}};
    const QUuid uuid = patient.Deliver();
    QCOMPARE(view->TEMPTable()->rowCount(), 1);

    const QUuid other = QUuid::createUuid();
    PatientData::GetInstance()->ClearPatientData(&other);
    QCOMPARE(view->NIBPTable()->rowCount(), 2);

    PatientData::GetInstance()->ClearPatientData(&uuid);
    QCOMPARE(HeaderTexts(view->NIBPTable()), QStringList({"1", "2", "3", "4", "5"}));
    QCOMPARE(HeaderTexts(view->SPO2Table()), QStringList({"1", "2", "3"}));
    QCOMPARE(HeaderTexts(view->TEMPTable()), QStringList({"1", "2"}));
    for (QTableWidget *pTable : {view->NIBPTable(), view->SPO2Table(), view->TEMPTable()}) {
        QCOMPARE(pTable->rowCount(), 0);
        QCOMPARE(pTable->horizontalHeaderItem(0), nullptr);
    }

    // The next patient brings the texts back.
    ExamplePatient().Deliver();
    QCOMPARE(HeaderTexts(view->TEMPTable()), QStringList({"Time", "Temp"}));
    QCOMPARE(view->NIBPTable()->rowCount(), 2);
}

void TestTrendTableView::doubleClickOpensNoEditor()
{
    auto view = ConnectedView();
    ExamplePatient().Deliver();
    QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QTableWidget *pTable = view->NIBPTable();
    const QRect cell = pTable->visualItemRect(pTable->item(0, 1));
    QTest::mouseDClick(pTable->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClick(pTable->viewport(), Qt::Key_F2);
    QVERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()) == nullptr);
    QVERIFY(pTable->findChildren<QLineEdit *>().isEmpty());
    QCOMPARE(pTable->item(0, 1)->text(), QStringLiteral("120"));
    QCOMPARE(pTable->selectionModel()->selectedRows().size(), 1);

    // The same probe does see an editor where one is allowed to open.
    pTable->setEditTriggers(QAbstractItemView::DoubleClicked);
    QTest::mouseDClick(pTable->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(pTable->findChildren<QLineEdit *>().size(), 1);
}

QTEST_MAIN(TestTrendTableView)
#include "tst_trendtableview.moc"

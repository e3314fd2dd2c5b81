#include "PatientData.h"
#include "TestEnvironment.h"
#include "TrendPatient.h"
#include "TrendTableView.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

namespace {

// The header texts, or with iRow the texts of that row's cells.
QStringList Texts(const QTableWidget *pTable, int iRow = -1)
{
    QStringList texts;
    for (int i = 0; i < pTable->columnCount(); ++i) {
        const QVariant data = iRow < 0 ? pTable->model()->headerData(i, Qt::Horizontal)
                                       : pTable->model()->index(iRow, i).data();
        texts << data.toString();
    }
    return texts;
}

TrendPatient ExamplePatient()
{
    TrendPatient patient;
    patient.nibp = {{At(2016, 6, 1, 8, 5, 9), 120, 80, 93, 72},
                    {At(2016, 6, 1, 20, 15, 0), 135, 0, 101, 300}};
    patient.spo2 = {{At(2016, 6, 1, 8, 6, 0), 98, 71},
                    {At(2016, 6, 2, 9, 7, 1), 97, 70},
                    {At(2016, 6, 3, 23, 59, 59), 100, 65535}};
    return patient;
}

} // namespace

class TestTrendTableView : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void patientRowsAndEmptyTemperatureTable();
    void clearShowsNumberedHeaders();
    void doubleClickOpensNoEditor();

private:
    TestEnvironment m_env;
};

void TestTrendTableView::patientRowsAndEmptyTemperatureTable()
{
    const auto view = ConnectedView<TrendTableView>();
    const QTableWidget *pNibp = view->NIBPTable();
    const QTableWidget *pSpo2 = view->SPO2Table();
    const QTableWidget *pTemp = view->TEMPTable();
    // The form shows "PR" until the first refill writes "Pr".
    QCOMPARE(Texts(pNibp), QStringList({"Time", "Sys", "Dia", "Mean", "PR"}));
    ExamplePatient().Deliver();
    QCOMPARE(Texts(pNibp), QStringList({"Time", "Sys", "Dia", "Mean", "Pr"}));
    QCOMPARE(pNibp->rowCount(), 2);
    QCOMPARE(Texts(pNibp, 0), QStringList({"2016-06-01 08:05:09", "120", "80", "93", "72"}));
    QCOMPARE(Texts(pNibp, 1), QStringList({"2016-06-01 20:15:00", "135", "0", "101", "300"}));
    QCOMPARE(Texts(pSpo2), QStringList({"Time", "SPO2", "PR"}));
    QCOMPARE(pSpo2->rowCount(), 3);
    QCOMPARE(Texts(pSpo2, 0), QStringList({"2016-06-01 08:06:00", "98", "71"}));
    QCOMPARE(Texts(pSpo2, 2), QStringList({"2016-06-03 23:59:59", "100", "65535"}));
    QCOMPARE(Texts(pTemp), QStringList({"Time", "Temp"}));
    QCOMPARE(pTemp->rowCount(), 0);

    // A second patient replaces every row; temperatures show as plain decimals.
    TrendPatient second;
    second.nibp = {{At(2020, 1, 2, 3, 4, 5), 1, 2, 3, 4}};
    second.temp = {{At(2020, 1, 2, 3, 4, 5), 36.6f},
                   {At(2020, 1, 2, 4, 0), 37.0f},
                   {At(2020, 1, 2, 5, 0), 36.55f},
                   {At(2020, 1, 2, 6, 0), 0.0f}};
    second.Deliver();
    QCOMPARE(pNibp->rowCount(), 1);
    QCOMPARE(Texts(pNibp, 0), QStringList({"2020-01-02 03:04:05", "1", "2", "3", "4"}));
    QCOMPARE(pSpo2->rowCount(), 0);
    QCOMPARE(Texts(pSpo2), QStringList({"Time", "SPO2", "PR"}));
    QCOMPARE(pTemp->rowCount(), 4);
    QCOMPARE(Texts(pTemp, 0), QStringList({"2020-01-02 03:04:05", "36.6"}));
    QCOMPARE(QStringList(
                 {pTemp->item(1, 1)->text(), pTemp->item(2, 1)->text(), pTemp->item(3, 1)->text()}),
             QStringList({"37", "36.55", "0"}));
}

void TestTrendTableView::clearShowsNumberedHeaders()
{
    const auto view = ConnectedView<TrendTableView>();
    TrendPatient patient = ExamplePatient();
    patient.temp = {{At(2016, 6, 1, 8, 0, 0), 36.6f}};
    const QUuid uuid = patient.Deliver();

    const QUuid other = QUuid::createUuid();
    PatientData::GetInstance()->ClearPatientData(&other);
    QCOMPARE(view->NIBPTable()->rowCount(), 2);

    PatientData::GetInstance()->ClearPatientData(&uuid);
    QCOMPARE(Texts(view->NIBPTable()), QStringList({"1", "2", "3", "4", "5"}));
    QCOMPARE(Texts(view->SPO2Table()), QStringList({"1", "2", "3"}));
    QCOMPARE(Texts(view->TEMPTable()), QStringList({"1", "2"}));
    for (QTableWidget *pTable : {view->NIBPTable(), view->SPO2Table(), view->TEMPTable()}) {
        QCOMPARE(pTable->rowCount(), 0);
    }

    // The next patient brings the texts back.
    ExamplePatient().Deliver();
    QCOMPARE(Texts(view->TEMPTable()), QStringList({"Time", "Temp"}));
    QCOMPARE(view->NIBPTable()->rowCount(), 2);
}

void TestTrendTableView::doubleClickOpensNoEditor()
{
    const auto view = ConnectedView<TrendTableView>();
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

    // The same probe does see an editor where one is allowed to open.
    pTable->setEditTriggers(QAbstractItemView::DoubleClicked);
    QTest::mouseDClick(pTable->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(pTable->findChildren<QLineEdit *>().size(), 1);
}

QTEST_MAIN(TestTrendTableView)
#include "tst_trendtableview.moc"

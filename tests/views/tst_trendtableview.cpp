#include "PatientData.h"
#include "TestEnvironment.h"
#include "TrendPatient.h"
#include "TrendTableView.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

namespace {

// The header texts, "|"-joined.
QString Headers(const QTableWidget *pTable)
{
    QStringList texts;
    for (int i = 0; i < pTable->columnCount(); ++i)
        texts << pTable->model()->headerData(i, Qt::Horizontal).toString();
    return texts.join('|');
}

// Every row's cell texts, "|"-joined.
QStringList Rows(const QTableWidget *pTable)
{
    QStringList rows;
    for (int r = 0; r < pTable->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < pTable->columnCount(); ++c)
            cells << pTable->item(r, c)->text();
        rows << cells.join('|');
    }
    return rows;
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
    QCOMPARE(Headers(pNibp), "Time|Sys|Dia|Mean|PR");
    ExamplePatient().Deliver();
    QCOMPARE(Headers(pNibp), "Time|Sys|Dia|Mean|Pr");
    QCOMPARE(Rows(pNibp), QStringList({"2016-06-01 08:05:09|120|80|93|72",
                                       "2016-06-01 20:15:00|135|0|101|300"}));
    QCOMPARE(Headers(pSpo2), "Time|SPO2|PR");
    QCOMPARE(Rows(pSpo2), QStringList({"2016-06-01 08:06:00|98|71", "2016-06-02 09:07:01|97|70",
                                       "2016-06-03 23:59:59|100|65535"}));
    QCOMPARE(Headers(pTemp), "Time|Temp");
    QCOMPARE(Rows(pTemp), QStringList());

    // A second patient replaces every row; temperatures show as plain decimals.
    TrendPatient second;
    second.nibp = {{At(2020, 1, 2, 3, 4, 5), 1, 2, 3, 4}};
    for (float temp : {36.6f, 37.0f, 36.55f, 0.0f})
        second.temp.push_back({At(2020, 1, 2, 3, 4, 5), temp});
    second.Deliver();
    QCOMPARE(Rows(pNibp), QStringList({"2020-01-02 03:04:05|1|2|3|4"}));
    QCOMPARE(Rows(pSpo2), QStringList());
    QCOMPARE(Headers(pSpo2), "Time|SPO2|PR");
    QCOMPARE(Rows(pTemp), QStringList({"2020-01-02 03:04:05|36.6", "2020-01-02 03:04:05|37",
                                       "2020-01-02 03:04:05|36.55", "2020-01-02 03:04:05|0"}));
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
    QCOMPARE(Headers(view->NIBPTable()) + Headers(view->SPO2Table()) + Headers(view->TEMPTable()),
             "1|2|3|4|51|2|31|2");
    for (QTableWidget *pTable : {view->NIBPTable(), view->SPO2Table(), view->TEMPTable()})
        QCOMPARE(pTable->rowCount(), 0);
    // The next patient brings the texts back.
    ExamplePatient().Deliver();
    QCOMPARE(Headers(view->TEMPTable()), "Time|Temp");
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

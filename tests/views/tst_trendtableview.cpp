#include "PatientData.h"
#include "TestEnvironment.h"
#include "TrendPatient.h"
#include "TrendTableView.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

namespace {

// The header texts, then every row's cell texts, each "|"-joined.
QStringList Shown(const QTableWidget *pTable)
{
    const QAbstractItemModel *pModel = pTable->model();
    QStringList rows;
    for (int r = -1; r < pModel->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < pModel->columnCount(); ++c)
            cells << (r < 0 ? pModel->headerData(c, Qt::Horizontal) : pModel->index(r, c).data())
                         .toString();
        rows << cells.join('|');
    }
    return rows;
}

} // namespace

class TestTrendTableView : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void rowsOfEachPatient();

private:
    TestEnvironment m_env;
};

void TestTrendTableView::rowsOfEachPatient()
{
    const auto view = ConnectedView<TrendTableView>();
    QTableWidget *pNibp = view->NIBPTable(), *pSpo2 = view->SPO2Table(), *pTemp = view->TEMPTable();
    // The form shows "PR" until the first refill writes "Pr".
    QCOMPARE(Shown(pNibp), QStringList({"Time|Sys|Dia|Mean|PR"}));
    TrendPatient first;
    first.nibp = {{At(2016, 6, 1, 8, 5, 9), 120, 80, 93, 72},
                  {At(2016, 6, 1, 20, 15), 135, 0, 101, 300}};
    first.spo2 = {{At(2016, 6, 1, 8, 6), 98, 71},
                  {At(2016, 6, 2, 9, 7, 1), 97, 70},
                  {At(2016, 6, 3, 23, 59, 59), 100, 65535}};
    first.Deliver();
    QCOMPARE(Shown(pNibp), QStringList({"Time|Sys|Dia|Mean|Pr", "2016-06-01 08:05:09|120|80|93|72",
                                        "2016-06-01 20:15:00|135|0|101|300"}));
    QCOMPARE(Shown(pSpo2),
             QStringList({"Time|SPO2|PR", "2016-06-01 08:06:00|98|71", "2016-06-02 09:07:01|97|70",
                          "2016-06-03 23:59:59|100|65535"}));
    QCOMPARE(Shown(pTemp), QStringList({"Time|Temp"}));

    // A second patient replaces every row; temperatures show as plain decimals.
    TrendPatient second;
    const QDateTime t = At(2020, 1, 2, 3, 4, 5);
    second.nibp = {{t, 1, 2, 3, 4}};
    second.temp = {{t, 36.6f}, {t, 37.0f}, {t, 36.55f}, {t, 0.0f}};
    const QUuid uuid = second.Deliver();
    QCOMPARE(Shown(pNibp), QStringList({"Time|Sys|Dia|Mean|Pr", "2020-01-02 03:04:05|1|2|3|4"}));
    QCOMPARE(Shown(pSpo2), QStringList({"Time|SPO2|PR"}));
    QCOMPARE(Shown(pTemp),
             QStringList({"Time|Temp", "2020-01-02 03:04:05|36.6", "2020-01-02 03:04:05|37",
                          "2020-01-02 03:04:05|36.55", "2020-01-02 03:04:05|0"}));

    // Clearing empties the tables under numbered headers, until the next
    // patient brings the texts back.
    PatientData::GetInstance()->ClearPatientData(&uuid);
    QCOMPARE(Shown(pNibp) + Shown(pSpo2) + Shown(pTemp),
             QStringList({"1|2|3|4|5", "1|2|3", "1|2"}));
    first.Deliver();
    QCOMPARE(Shown(pTemp), QStringList({"Time|Temp"}));

    // Neither a double click nor F2 opens an editor, though the same probe
    // sees one where it is allowed to open.
    QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    const QPoint cell = pNibp->visualItemRect(pNibp->item(0, 1)).center();
    QTest::mouseDClick(pNibp->viewport(), Qt::LeftButton, {}, cell);
    QTest::keyClick(pNibp->viewport(), Qt::Key_F2);
    QVERIFY(pNibp->findChildren<QLineEdit *>().isEmpty());
    pNibp->setEditTriggers(QAbstractItemView::DoubleClicked);
    QTest::mouseDClick(pNibp->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(pNibp->findChildren<QLineEdit *>().size(), 1);
}

QTEST_MAIN(TestTrendTableView)
#include "tst_trendtableview.moc"

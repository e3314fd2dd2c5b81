#include "PatientData.h"
#include "TestEnvironment.h"
#include "TrendGrapView.h"
#include "TrendPatient.h"

#include <algorithm>
#include <cmath>

#include <QAbstractButton>
#include <QTest>
#include <qcustomplot.h>

#include <ctime>

namespace {

// The points a graph really holds, as (key, value) pairs.
QList<QPointF> Points(const QCPGraph *pGraph)
{
    QList<QPointF> points;
    for (const QCPGraphData &point : *pGraph->data()) {
        points.append(QPointF(point.key, point.value));
    }
    return points;
}

// The tick labels the key axis drew at its last replot.
QStringList TickLabels(const QCustomPlot *pPlot)
{
    const QVector<QString> labels = pPlot->xAxis->tickVectorLabels();
    return QStringList(labels.cbegin(), labels.cend());
}

QStringList Numbers(int iFirst, int iLast)
{
    QStringList numbers;
    for (int i = iFirst; i <= iLast; ++i) {
        numbers << QString::number(i);
    }
    return numbers;
}

void Click(const QWidget &view, const char *pName)
{
    QTest::mouseClick(view.findChild<QAbstractButton *>(QLatin1String(pName)), Qt::LeftButton);
}

// Whether the "Previous" and "Next" buttons are enabled.
std::pair<bool, bool> PrevNext(const QWidget &view)
{
    return {view.findChild<QAbstractButton *>("pushButton_PrevPage")->isEnabled(),
            view.findChild<QAbstractButton *>("pushButton_NextPage")->isEnabled()};
}

} // namespace

class TestTrendGrapView : public QObject
{
    Q_OBJECT

private slots:
    // One zone with clock changes for every test, so that windows of 23 and 25
    // hours are met and results do not depend on the machine's zone.
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void init() { TestEnvironment::FailOnWarnings(); }
    void dayAndWeekPages();
    void monthPages();
    void recordsAtWindowEnds();
    void pagesWithoutData();
    void sameSecondGivesOnePoint();
    void denseBandCoversTheLines();
    void hourSpanAndClear();

private:
    TestEnvironment m_env;
};

// Earliest record 07:30 on Thursday 3 March 2022 (2 March is a Wednesday).
void TestTrendGrapView::dayAndWeekPages()
{
    const auto v = ConnectedView<TrendGrapView>();
    TrendPatient patient;
    patient.nibp = {{At(2022, 3, 3, 7, 30), 120, 80, 93, 72},
                    {At(2022, 3, 10, 9, 0), 110, 70, 85, 60}};
    patient.temp = {{At(2022, 3, 3, 12, 0), 36.6f}};
    patient.Deliver();
    QCOMPARE(v->StartTime(), At(2022, 3, 2, 8, 0));
    QCOMPARE(v->EndTime(), At(2022, 3, 3, 8, 0));
    QCOMPARE(Points(v->NIBPPlot()->graph(0)), QList<QPointF>({{84600, 120}}));
    QVERIFY(Points(v->TEMPPlot()->graph(0)).isEmpty());
    QCOMPARE(TickLabels(v->NIBPPlot()), Numbers(8, 24) + Numbers(1, 7));
    QCOMPARE(v->TEMPPlot()->xAxis->tickVector().last(), 82800.0);
    QCOMPARE(v->NIBPPlot()->xAxis->range(), QCPRange(0, 86400));
    QCOMPARE(PrevNext(*v), std::make_pair(false, true));

    Click(*v, "pushButton_NextPage");
    QCOMPARE(Points(v->TEMPPlot()->graph(0)), QList<QPointF>({{4 * 3600, 36.6f}}));
    Click(*v, "pushButton_LastPage");
    QCOMPARE(v->CurrentPage(), 8);
    QCOMPARE(v->StartTime(), At(2022, 3, 10, 8, 0));
    QCOMPARE(PrevNext(*v), std::make_pair(true, false));
    Click(*v, "pushButton_NextPage");
    QCOMPARE(v->CurrentPage(), 8);

    Click(*v, "radioButton_Week");
    QCOMPARE(v->StartTime(), At(2022, 2, 28, 8, 0));
    QCOMPARE(v->EndTime(), At(2022, 3, 7, 8, 0));
    QCOMPARE(TickLabels(v->SPO2Plot()),
             QStringList({"Mon", "Tues", "Wen", "Thur", "Fri", "Sat", "Sun"}));
    QCOMPARE(v->SPO2Plot()->xAxis->range(), QCPRange(0, 604800));
    QCOMPARE(Points(v->NIBPPlot()->graph(1)), QList<QPointF>({{2 * 86400 + 84600, 80}}));
    Click(*v, "pushButton_LastPage");
    QCOMPARE(v->CurrentPage(), 1);
    Click(*v, "pushButton_PrevPage");
    Click(*v, "pushButton_PrevPage");
    QCOMPARE(v->CurrentPage(), 0);
    QCOMPARE(PrevNext(*v), std::make_pair(false, true));
}

void TestTrendGrapView::monthPages()
{
    const auto v = ConnectedView<TrendGrapView>();
    Click(*v, "radioButton_Month");
    TrendPatient patient;
    patient.spo2 = {{At(2023, 2, 15, 10, 0), 97, 66}};
    patient.Deliver();
    QCOMPARE(v->StartTime(), At(2023, 2, 1, 8, 0));
    QCOMPARE(v->EndTime(), At(2023, 3, 1, 8, 0));
    QCOMPARE(TickLabels(v->SPO2Plot()), Numbers(1, 28));
    QCOMPARE(Points(v->SPO2Plot()->graph(0)), QList<QPointF>({{14 * 86400 + 2 * 3600, 97}}));
    patient.spo2 = {{At(2024, 2, 15, 10, 0), 97, 66}};
    patient.Deliver();
    QCOMPARE(TickLabels(v->NIBPPlot()), Numbers(1, 29));
    QCOMPARE(v->TEMPPlot()->xAxis->range(), QCPRange(0, 29 * 86400));

    // December to February: the last page is 2.
    patient = TrendPatient();
    patient.nibp = {{At(2022, 12, 10, 9, 0), 120, 80, 93, 72}};
    patient.temp = {{At(2023, 2, 10, 9, 0), 37.0f}};
    patient.Deliver();
    QCOMPARE(v->GetMaxPageIndex(), 2);
    Click(*v, "pushButton_LastPage");
    QCOMPARE(v->CurrentPage(), 2);
    QCOMPARE(v->StartTime(), At(2023, 2, 1, 8, 0));
    QCOMPARE(Points(v->TEMPPlot()->graph(0)), QList<QPointF>({{9 * 86400 + 3600, 37}}));
    QCOMPARE(PrevNext(*v), std::make_pair(true, false));
    Click(*v, "pushButton_PrevPage");
    QCOMPARE(v->StartTime(), At(2023, 1, 1, 8, 0));
    QCOMPARE(TickLabels(v->TEMPPlot()), Numbers(1, 31));
    QCOMPARE(PrevNext(*v), std::make_pair(true, true));
}

// A record exactly at a window's end belongs to the next page; one on the 1st
// or on a Monday before 08:00 still to the page before, so no empty last page.
void TestTrendGrapView::recordsAtWindowEnds()
{
    const auto v = ConnectedView<TrendGrapView>();
    TrendPatient patient;
    patient.nibp = {{At(2022, 3, 2, 9, 0), 120, 80, 93, 72},
                    {At(2022, 3, 3, 8, 0), 130, 85, 95, 75}};
    patient.Deliver();
    QCOMPARE(v->EndTime(), At(2022, 3, 3, 8, 0));
    QCOMPARE(Points(v->NIBPPlot()->graph(0)), QList<QPointF>({{3600, 120}}));
    Click(*v, "pushButton_NextPage");
    QCOMPARE(Points(v->NIBPPlot()->graph(0)), QList<QPointF>({{0, 130}}));
    QCOMPARE(PrevNext(*v), std::make_pair(true, false));

    for (const auto &[pszSpan, last] :
         {std::make_pair("radioButton_Month", At(2022, 4, 1, 7, 0)),
          std::make_pair("radioButton_Week", At(2022, 3, 7, 7, 59))}) {
        patient.nibp = {{At(2022, 3, 1, 9, 0), 120, 80, 93, 72}, {last, 130, 85, 95, 75}};
        Click(*v, pszSpan);
        patient.Deliver();
        QCOMPARE(v->GetMaxPageIndex(), 0);
        QCOMPARE(Points(v->NIBPPlot()->graph(0)).size(), 2);
    }

    // Day windows across the clock changes hold 23 and 25 hours; keys stay
    // true seconds and the last page is the one holding the last record.
    Click(*v, "radioButton_Day");
    for (const auto &[last, iHours, dKey] :
         {std::make_tuple(At(2022, 3, 27, 7, 0), 23, 22 * 3600.0),
          std::make_tuple(At(2022, 10, 30, 7, 30), 25, 24.5 * 3600)}) {
        patient.nibp = {{QDateTime(last.date().addDays(-1), QTime(9, 0)), 120, 80, 93, 72},
                        {last, 130, 85, 95, 75}};
        patient.Deliver();
        QCOMPARE(v->StartTime().secsTo(v->EndTime()), iHours * 3600);
        QCOMPARE(v->GetMaxPageIndex(), 0);
        QCOMPARE(Points(v->NIBPPlot()->graph(0)), QList<QPointF>({{3600, 120}, {dKey, 130}}));
    }
}

void TestTrendGrapView::pagesWithoutData()
{
    const auto v = ConnectedView<TrendGrapView>();
    TrendPatient patient;
    patient.nibp = {{At(2022, 3, 2, 9, 0), 120, 80, 93, 72},
                    {At(2022, 3, 2, 10, 0), 140, 90, 100, 80},
                    {At(2022, 3, 4, 9, 0), 200, 150, 170, 90}};
    patient.temp = {{At(2022, 3, 2, 9, 0), 36.5f}, {At(2022, 3, 2, 10, 0), 37.5f}};
    patient.Deliver();
    QCOMPARE(v->NIBPPlot()->yAxis->range(), QCPRange(80, 140));

    // A page without data keeps the value axes it had.
    Click(*v, "pushButton_NextPage");
    QVERIFY(Points(v->NIBPPlot()->graph(0)).isEmpty());
    QCOMPARE(PrevNext(*v), std::make_pair(true, true));
    QCOMPARE(v->NIBPPlot()->yAxis->range(), QCPRange(80, 140));
    QCOMPARE(v->NIBPPlot()->yAxis2->range(), QCPRange(72, 80));
    QCOMPARE(v->TEMPPlot()->yAxis->range(), QCPRange(36.5, 37.5));
    QCOMPARE(v->SPO2Plot()->yAxis->range(), QCPRange(0, 100));
    Click(*v, "pushButton_NextPage");
    QCOMPARE(Points(v->NIBPPlot()->graph(2)), QList<QPointF>({{3600, 170}}));

    // A patient without records: back to page 0 and no page to move to.
    TrendPatient().Deliver();
    QCOMPARE(v->CurrentPage(), 0);
    QCOMPARE(PrevNext(*v), std::make_pair(false, false));
    QVERIFY(Points(v->NIBPPlot()->graph(0)).isEmpty());
    Click(*v, "pushButton_LastPage");
    QCOMPARE(v->CurrentPage(), 0);
    QCOMPARE(PrevNext(*v), std::make_pair(false, false));
}

void TestTrendGrapView::sameSecondGivesOnePoint()
{
    const auto v = ConnectedView<TrendGrapView>();
    TrendPatient patient;
    const QDateTime second = At(2022, 3, 2, 9, 0, 5);
    patient.nibp = {{At(2022, 3, 2, 8, 30), 100, 60, 75, 60},
                    {second, 120, 80, 93, 72},
                    {second.addMSecs(400), 125, 85, 95, 74},
                    {At(2022, 3, 2, 9, 30), 110, 70, 83, 66}};
    patient.spo2 = {{second, 97, 66}, {second.addMSecs(999), 95, 68}};
    patient.Deliver();
    QCOMPARE(Points(v->NIBPPlot()->graph(0)),
             QList<QPointF>({{1800, 100}, {3605, 125}, {5400, 110}}));
    QCOMPARE(Points(v->SPO2Plot()->graph(1)), QList<QPointF>({{3605, 68}}));
    // A sparse page's band follows the two lines exactly.
    QCOMPARE(Points(v->NIBPPlot()->graph(4)), Points(v->NIBPPlot()->graph(0)));
    QCOMPARE(Points(v->NIBPPlot()->graph(5)), Points(v->NIBPPlot()->graph(1)));
}

void TestTrendGrapView::denseBandCoversTheLines()
{
    const auto v = ConnectedView<TrendGrapView>();
    TrendPatient patient;
    for (int i = 0; i < 8640; ++i) { // one day, a record every 10 s
        const auto sys = static_cast<quint16>(110 + (i * 7) % 40);
        patient.nibp.push_back({At(2022, 3, 2, 8, 0).addSecs(10 * i), sys,
                                static_cast<quint16>(sys - 30 - i % 11), 90, 70});
    }
    patient.Deliver();
    const QList<QPointF> sys = Points(v->NIBPPlot()->graph(0));
    const QList<QPointF> dia = Points(v->NIBPPlot()->graph(1));
    const QList<QPointF> high = Points(v->NIBPPlot()->graph(4));
    const QList<QPointF> low = Points(v->NIBPPlot()->graph(5));
    QCOMPARE(sys.size(), 8640);
    QVERIFY(high.size() < sys.size() / 2 && high.size() == low.size());
    // Every point of both lines lies inside the band column that holds it.
    const double width = 86400.0 / std::max(1024, v->NIBPPlot()->axisRect()->width());
    int column = 0;
    for (int i = 0; i < sys.size(); ++i) {
        while (high.at(column).x() + width / 2 <= sys.at(i).x())
            ++column;
        QVERIFY(std::abs(high.at(column).x() - sys.at(i).x()) <= width / 2);
        QVERIFY(high.at(column).y() >= sys.at(i).y() && low.at(column).y() <= dia.at(i).y());
    }
}

void TestTrendGrapView::hourSpanAndClear()
{
    const auto v = ConnectedView<TrendGrapView>();
    Click(*v, "radioButton_Hour");
    TrendPatient patient;
    patient.spo2 = {{At(2022, 3, 2, 9, 47, 12), 97, 66}, {At(2022, 3, 2, 11, 5), 95, 70}};
    const QUuid uuid = patient.Deliver();
    QCOMPARE(v->StartTime(), At(2022, 3, 2, 9, 0));
    QCOMPARE(v->EndTime(), At(2022, 3, 2, 10, 0));
    QCOMPARE(TickLabels(v->SPO2Plot()),
             QStringList({"0", "5", "10", "15", "20", "25", "30", "35", "40", "45", "50", "55"}));
    QCOMPARE(v->SPO2Plot()->xAxis->range(), QCPRange(0, 3600));
    QCOMPARE(Points(v->SPO2Plot()->graph(0)), QList<QPointF>({{47 * 60 + 12, 97}}));
    Click(*v, "pushButton_LastPage");
    QCOMPARE(v->CurrentPage(), 2);
    QCOMPARE(Points(v->SPO2Plot()->graph(1)), QList<QPointF>({{300, 70}}));

    // Clearing empties the graphs but keeps the page, the span and the axes.
    PatientData::GetInstance()->ClearPatientData(&uuid);
    QCOMPARE(v->CurrentPage(), 2);
    for (QCustomPlot *pPlot : {v->NIBPPlot(), v->SPO2Plot(), v->TEMPPlot()}) {
        for (int i = 0; i < pPlot->graphCount(); ++i) {
            QVERIFY(pPlot->graph(i)->data()->isEmpty());
        }
    }
    QCOMPARE(v->SPO2Plot()->xAxis->range(), QCPRange(0, 3600));
    QCOMPARE(TickLabels(v->SPO2Plot()).size(), 12);
    Click(*v, "pushButton_PrevPage");
    QCOMPARE(v->CurrentPage(), 1);
    QCOMPARE(PrevNext(*v), std::make_pair(true, false));
}

QTEST_MAIN(TestTrendGrapView)
#include "tst_trendgrapview.moc"

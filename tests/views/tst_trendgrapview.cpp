#include "PatientData.h"
#include "TestEnvironment.h"
#include "TrendGrapView.h"
#include "TrendPatient.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <qcustomplot.h>

#include <ctime>
#include <memory>

namespace {

using At = QDateTime;

QDateTime T(int y, int mo, int d, int h, int mi, int s = 0)
{
    return TrendPatient::At(y, mo, d, h, mi, s);
}

// The points a graph really holds, as (key, value) pairs.
QList<QPointF> Points(const QCPGraph *pGraph)
{
    QList<QPointF> points;
    for (auto it = pGraph->data()->constBegin(); it != pGraph->data()->constEnd(); ++it) {
        points.append(QPointF(it->key, it->value));
    }
    return points;
}

// The tick labels the key axis drew at its last replot.
QStringList TickLabels(const QCustomPlot *pPlot)
{
    return QStringList(pPlot->xAxis->tickVectorLabels().cbegin(),
                       pPlot->xAxis->tickVectorLabels().cend());
}

QList<double> TickKeys(const QCustomPlot *pPlot)
{
    return QList<double>(pPlot->xAxis->tickVector().cbegin(), pPlot->xAxis->tickVector().cend());
}

QStringList Numbers(int iFirst, int iLast)
{
    QStringList numbers;
    for (int i = iFirst; i <= iLast; ++i) {
        numbers << QString::number(i);
    }
    return numbers;
}

// Puts the process in another time zone for one test and back afterwards.
class ZoneGuard
{
public:
    explicit ZoneGuard(const char *pZone) : m_old(qgetenv("TZ"))
    {
        qputenv("TZ", pZone);
        tzset();
    }
    ~ZoneGuard()
    {
        if (m_old.isNull()) {
            qunsetenv("TZ");
        } else {
            qputenv("TZ", m_old);
        }
        tzset();
    }

private:
    QByteArray m_old;
};

class Harness
{
public:
    Harness() : view(std::make_unique<TrendGrapView>())
    {
        PatientData *pData = PatientData::GetInstance();
        QObject::connect(pData, &PatientData::OnPatientNIBPDataChanged, view.get(),
                         &TrendGrapView::OnPatientNIBPDataChanged);
        QObject::connect(pData, &PatientData::OnPatientSPO2DataChanged, view.get(),
                         &TrendGrapView::OnPatientSPO2DataChanged);
        QObject::connect(pData, &PatientData::OnPatientTEMPDataChanged, view.get(),
                         &TrendGrapView::OnPatientTEMPDataChanged);
        QObject::connect(pData, &PatientData::OnClearPatientData, view.get(),
                         &TrendGrapView::OnClearPatientData);
    }

    QPushButton *Button(const char *pName) const
    {
        return view->findChild<QPushButton *>(QLatin1String(pName));
    }
    void Click(const char *pName) const
    {
        QAbstractButton *pButton = view->findChild<QAbstractButton *>(QLatin1String(pName));
        QTest::mouseClick(pButton, Qt::LeftButton);
    }
    bool PrevEnabled() const { return Button("pushButton_PrevPage")->isEnabled(); }
    bool NextEnabled() const { return Button("pushButton_NextPage")->isEnabled(); }

    std::unique_ptr<TrendGrapView> view;
};

} // namespace

class TestTrendGrapView : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnvironment::FailOnWarnings(); }
    void formAndPlotSettings();
    void dayAndWeekOfAnEarlyRecord();
    void monthOfFebruary();
    void lastPageAcrossTheYear();
    void recordAtTheWindowEndGoesToTheNextPage();
    void pageEndsOnTheFirstBeforeEightAndOnMonday();
    void patientWithoutRecords();
    void emptyPageKeepsValueAxes();
    void sameSecondGivesOnePoint();
    void hourSpanAndClear();
    void daylightSavingWindows();

private:
    TestEnvironment m_env;
};

void TestTrendGrapView::formAndPlotSettings()
{
    Harness h;
    TrendGrapView &v = *h.view;
    QCOMPARE(v.objectName(), QStringLiteral("TrendGrap"));
    QVERIFY(v.findChild<QRadioButton *>("radioButton_Day")->isChecked());
    QCOMPARE(h.Button("pushButton_PrevPage")->text(), QStringLiteral("Previous"));
    QCOMPARE(h.Button("pushButton_LastPage")->minimumSize(), QSize(96, 32));

    QCustomPlot *pNibp = v.NIBPPlot();
    QCOMPARE(pNibp->graphCount(), 4);
    QStringList names;
    for (int i = 0; i < 4; ++i) {
        names << pNibp->graph(i)->name();
        QCOMPARE(pNibp->graph(i)->pen().width(), 2);
        QCOMPARE(pNibp->graph(i)->lineStyle(), QCPGraph::lsLine);
    }
    QCOMPARE(names, QStringList({"Sys", "Dia", "Mean", "Pr"}));
    QCOMPARE(pNibp->graph(0)->pen().color(), QColor(55, 116, 196));
    QCOMPARE(pNibp->graph(2)->pen().color(), QColor(53, 154, 39));
    QCOMPARE(pNibp->graph(3)->pen().color(), QColor(214, 69, 69));
    QCOMPARE(pNibp->graph(3)->valueAxis(), pNibp->yAxis2);
    QCOMPARE(pNibp->graph(0)->channelFillGraph(), pNibp->graph(1));
    QCOMPARE(pNibp->graph(0)->brush().color(), QColor(187, 212, 247));
    QCOMPARE(pNibp->yAxis->label(), QStringLiteral("mmHg"));
    QCOMPARE(pNibp->yAxis2->label(), QStringLiteral("BPM"));
    QVERIFY(pNibp->yAxis2->visible());
    QVERIFY(pNibp->legend->visible());
    QCOMPARE(v.SPO2Plot()->yAxis->range(), QCPRange(0, 100));
    QCOMPARE(v.SPO2Plot()->graph(1)->valueAxis(), v.SPO2Plot()->yAxis2);
    QCOMPARE(v.TEMPPlot()->yAxis->label(), QStringLiteral("C"));
    QCOMPARE(v.TEMPPlot()->yAxis->range(), QCPRange(0, 50));
    QVERIFY(!v.TEMPPlot()->legend->visible());
    QCOMPARE(v.TEMPPlot()->xAxis->range(), QCPRange(0, 86400));
    QCOMPARE(v.CurrentPage(), 0);
}

// Earliest record 07:30 on Thursday 3 March 2022 (2 March is a Wednesday).
void TestTrendGrapView::dayAndWeekOfAnEarlyRecord()
{
    Harness h;
    TrendPatient patient;
    patient.nibp = {{T(2022, 3, 3, 7, 30), 120, 80, 93, 72},
                    {T(2022, 3, 10, 9, 0), 110, 70, 85, 60}};
    patient.temp = {{T(2022, 3, 3, 12, 0), 36.6f}};
    patient.Deliver();

    TrendGrapView &v = *h.view;
    QCOMPARE(v.StartTime(), T(2022, 3, 2, 8, 0));
    QCOMPARE(v.EndTime(), T(2022, 3, 3, 8, 0));
    QCOMPARE(Points(v.NIBPPlot()->graph(0)), QList<QPointF>({{84600, 120}}));
    QCOMPARE(Points(v.NIBPPlot()->graph(3)), QList<QPointF>({{84600, 72}}));
    QVERIFY(Points(v.TEMPPlot()->graph(0)).isEmpty());
    QCOMPARE(TickLabels(v.NIBPPlot()), Numbers(8, 24) + Numbers(1, 7));
    QCOMPARE(TickKeys(v.TEMPPlot()).last(), 82800.0);
    QCOMPARE(v.NIBPPlot()->xAxis->range(), QCPRange(0, 86400));
    QVERIFY(!h.PrevEnabled());
    QVERIFY(h.NextEnabled());

    h.Click("pushButton_NextPage");
    QCOMPARE(v.CurrentPage(), 1);
    QCOMPARE(Points(v.TEMPPlot()->graph(0)), QList<QPointF>({{4 * 3600, 36.6f}}));
    h.Click("pushButton_LastPage");
    QCOMPARE(v.CurrentPage(), 8);
    QCOMPARE(v.StartTime(), T(2022, 3, 10, 8, 0));
    QVERIFY(h.PrevEnabled());
    QVERIFY(!h.NextEnabled());
    h.Click("pushButton_NextPage");
    QCOMPARE(v.CurrentPage(), 8);

    h.Click("radioButton_Week");
    QCOMPARE(v.CurrentPage(), 0);
    QCOMPARE(v.StartTime(), T(2022, 2, 28, 8, 0));
    QCOMPARE(v.EndTime(), T(2022, 3, 7, 8, 0));
    QCOMPARE(TickLabels(v.SPO2Plot()),
             QStringList({"Mon", "Tues", "Wen", "Thur", "Fri", "Sat", "Sun"}));
    QCOMPARE(v.SPO2Plot()->xAxis->range(), QCPRange(0, 604800));
    QCOMPARE(Points(v.NIBPPlot()->graph(1)), QList<QPointF>({{2 * 86400 + 84600, 80}}));
    QVERIFY(h.NextEnabled());
    h.Click("pushButton_LastPage");
    QCOMPARE(v.CurrentPage(), 1);
    h.Click("pushButton_PrevPage");
    h.Click("pushButton_PrevPage");
    QCOMPARE(v.CurrentPage(), 0);
    QVERIFY(!h.PrevEnabled());
}

void TestTrendGrapView::monthOfFebruary()
{
    Harness h;
    h.Click("radioButton_Month");
    TrendPatient patient;
    patient.spo2 = {{T(2023, 2, 15, 10, 0), 97, 66}};
    patient.Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(v.StartTime(), T(2023, 2, 1, 8, 0));
    QCOMPARE(v.EndTime(), T(2023, 3, 1, 8, 0));
    QCOMPARE(TickLabels(v.SPO2Plot()), Numbers(1, 28));
    QCOMPARE(v.SPO2Plot()->xAxis->range(), QCPRange(0, 28 * 86400));
    QCOMPARE(Points(v.SPO2Plot()->graph(0)), QList<QPointF>({{14 * 86400 + 2 * 3600, 97}}));

    patient.spo2 = {{T(2024, 2, 15, 10, 0), 97, 66}};
    patient.Deliver();
    QCOMPARE(TickLabels(v.NIBPPlot()), Numbers(1, 29));
    QCOMPARE(v.TEMPPlot()->xAxis->range(), QCPRange(0, 29 * 86400));
}

void TestTrendGrapView::lastPageAcrossTheYear()
{
    Harness h;
    h.Click("radioButton_Month");
    TrendPatient patient;
    patient.nibp = {{T(2022, 12, 10, 9, 0), 120, 80, 93, 72}};
    patient.temp = {{T(2023, 2, 10, 9, 0), 37.0f}};
    patient.Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(v.GetMaxPageIndex(), 2);
    h.Click("pushButton_LastPage");
    QCOMPARE(v.CurrentPage(), 2);
    QCOMPARE(v.StartTime(), T(2023, 2, 1, 8, 0));
    QCOMPARE(TickLabels(v.TEMPPlot()), Numbers(1, 28));
    QCOMPARE(Points(v.TEMPPlot()->graph(0)), QList<QPointF>({{9 * 86400 + 3600, 37}}));
    QVERIFY(!h.NextEnabled());
    h.Click("pushButton_PrevPage");
    QCOMPARE(v.StartTime(), T(2023, 1, 1, 8, 0));
    QCOMPARE(TickLabels(v.TEMPPlot()), Numbers(1, 31));
    QVERIFY(h.NextEnabled() && h.PrevEnabled());
}

void TestTrendGrapView::recordAtTheWindowEndGoesToTheNextPage()
{
    Harness h;
    TrendPatient patient;
    patient.nibp = {{T(2022, 3, 2, 9, 0), 120, 80, 93, 72}, {T(2022, 3, 3, 8, 0), 130, 85, 95, 75}};
    patient.Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(v.EndTime(), T(2022, 3, 3, 8, 0));
    QCOMPARE(Points(v.NIBPPlot()->graph(0)), QList<QPointF>({{3600, 120}}));
    h.Click("pushButton_NextPage");
    QCOMPARE(Points(v.NIBPPlot()->graph(0)), QList<QPointF>({{0, 130}}));
    QVERIFY(!h.NextEnabled());
}

// A last record on the 1st before 08:00 still lies in the previous month's
// window, and one on Monday before 08:00 in the previous week's: the last
// page is the one that shows it, not an empty one after it.
void TestTrendGrapView::pageEndsOnTheFirstBeforeEightAndOnMonday()
{
    Harness h;
    TrendPatient patient;
    patient.nibp = {{T(2022, 3, 1, 9, 0), 120, 80, 93, 72}, {T(2022, 4, 1, 7, 0), 130, 85, 95, 75}};
    h.Click("radioButton_Month");
    patient.Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(v.GetMaxPageIndex(), 0);
    QVERIFY(!h.NextEnabled());
    QCOMPARE(Points(v.NIBPPlot()->graph(0)).size(), 2);

    patient.nibp = {{T(2022, 3, 1, 9, 0), 120, 80, 93, 72},
                    {T(2022, 3, 7, 7, 59), 130, 85, 95, 75}};
    h.Click("radioButton_Week");
    patient.Deliver();
    QCOMPARE(v.StartTime(), T(2022, 2, 28, 8, 0));
    QCOMPARE(v.GetMaxPageIndex(), 0);
    QCOMPARE(Points(v.NIBPPlot()->graph(0)).size(), 2);
}

void TestTrendGrapView::patientWithoutRecords()
{
    Harness h;
    TrendPatient patient;
    patient.nibp = {{T(2022, 3, 2, 9, 0), 120, 80, 93, 72}, {T(2022, 3, 5, 9, 0), 130, 85, 95, 75}};
    patient.Deliver();
    h.Click("pushButton_NextPage");
    QVERIFY(h.PrevEnabled() && h.NextEnabled());

    TrendPatient().Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(v.CurrentPage(), 0);
    QVERIFY(!h.PrevEnabled());
    QVERIFY(!h.NextEnabled());
    QVERIFY(Points(v.NIBPPlot()->graph(0)).isEmpty());
    h.Click("pushButton_LastPage");
    QCOMPARE(v.CurrentPage(), 0);
    h.Click("pushButton_FirstPage");
    QCOMPARE(v.CurrentPage(), 0);
    QVERIFY(!h.NextEnabled());
}

void TestTrendGrapView::emptyPageKeepsValueAxes()
{
    Harness h;
    TrendPatient patient;
    patient.nibp = {{T(2022, 3, 2, 9, 0), 120, 80, 93, 72},
                    {T(2022, 3, 2, 10, 0), 140, 90, 100, 80},
                    {T(2022, 3, 4, 9, 0), 200, 150, 170, 90}};
    patient.temp = {{T(2022, 3, 2, 9, 0), 36.5f}, {T(2022, 3, 2, 10, 0), 37.5f}};
    patient.Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(v.NIBPPlot()->yAxis->range(), QCPRange(80, 140));
    QCOMPARE(v.NIBPPlot()->yAxis2->range(), QCPRange(72, 80));
    QCOMPARE(v.TEMPPlot()->yAxis->range(), QCPRange(36.5, 37.5));

    h.Click("pushButton_NextPage");
    QVERIFY(Points(v.NIBPPlot()->graph(0)).isEmpty());
    QCOMPARE(v.NIBPPlot()->yAxis->range(), QCPRange(80, 140));
    QCOMPARE(v.NIBPPlot()->yAxis2->range(), QCPRange(72, 80));
    QCOMPARE(v.TEMPPlot()->yAxis->range(), QCPRange(36.5, 37.5));
    QCOMPARE(v.SPO2Plot()->yAxis->range(), QCPRange(0, 100));

    h.Click("pushButton_NextPage");
    QCOMPARE(Points(v.NIBPPlot()->graph(2)), QList<QPointF>({{3600, 170}}));
}

void TestTrendGrapView::sameSecondGivesOnePoint()
{
    Harness h;
    TrendPatient patient;
    const QDateTime second = T(2022, 3, 2, 9, 0, 5);
    patient.nibp = {{T(2022, 3, 2, 8, 30), 100, 60, 75, 60},
                    {second, 120, 80, 93, 72},
                    {second.addMSecs(400), 125, 85, 95, 74},
                    {T(2022, 3, 2, 9, 30), 110, 70, 83, 66}};
    patient.spo2 = {{second, 97, 66}, {second.addMSecs(999), 95, 68}};
    patient.Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(Points(v.NIBPPlot()->graph(0)),
             QList<QPointF>({{1800, 100}, {3605, 125}, {5400, 110}}));
    QCOMPARE(Points(v.NIBPPlot()->graph(3)), QList<QPointF>({{1800, 60}, {3605, 74}, {5400, 66}}));
    QCOMPARE(Points(v.SPO2Plot()->graph(0)), QList<QPointF>({{3605, 95}}));
    QCOMPARE(Points(v.SPO2Plot()->graph(1)), QList<QPointF>({{3605, 68}}));
}

void TestTrendGrapView::hourSpanAndClear()
{
    Harness h;
    h.Click("radioButton_Hour");
    TrendPatient patient;
    patient.spo2 = {{T(2022, 3, 2, 9, 47, 12), 97, 66}, {T(2022, 3, 2, 11, 5), 95, 70}};
    const QUuid uuid = patient.Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(v.StartTime(), T(2022, 3, 2, 9, 0));
    QCOMPARE(v.EndTime(), T(2022, 3, 2, 10, 0));
    QCOMPARE(TickLabels(v.SPO2Plot()),
             QStringList({"0", "5", "10", "15", "20", "25", "30", "35", "40", "45", "50", "55"}));
    QCOMPARE(v.SPO2Plot()->xAxis->range(), QCPRange(0, 3600));
    QCOMPARE(Points(v.SPO2Plot()->graph(0)), QList<QPointF>({{47 * 60 + 12, 97}}));
    QCOMPARE(v.GetMaxPageIndex(), 2);
    h.Click("pushButton_LastPage");
    QCOMPARE(Points(v.SPO2Plot()->graph(1)), QList<QPointF>({{300, 70}}));

    // Clearing empties the graphs but keeps the page, the span and the axes.
    PatientData::GetInstance()->ClearPatientData(&uuid);
    QCOMPARE(v.CurrentPage(), 2);
    QVERIFY(v.findChild<QRadioButton *>("radioButton_Hour")->isChecked());
    for (QCustomPlot *pPlot : {v.NIBPPlot(), v.SPO2Plot(), v.TEMPPlot()}) {
        for (int i = 0; i < pPlot->graphCount(); ++i) {
            QVERIFY(Points(pPlot->graph(i)).isEmpty());
        }
    }
    QCOMPARE(v.SPO2Plot()->xAxis->range(), QCPRange(0, 3600));
    QCOMPARE(TickLabels(v.SPO2Plot()).size(), 12);
    QVERIFY(h.PrevEnabled());
    h.Click("pushButton_PrevPage");
    QCOMPARE(v.CurrentPage(), 1);
    QVERIFY(Points(v.SPO2Plot()->graph(0)).isEmpty());
    QVERIFY(!h.NextEnabled());
}

// Under a zone with clock changes a day window can hold 23 or 25 hours; keys
// stay true seconds and the last page is the one that holds the last record.
void TestTrendGrapView::daylightSavingWindows()
{
    const ZoneGuard zone("Europe/Berlin");
    Harness h;
    TrendPatient patient;
    patient.nibp = {{T(2022, 3, 26, 9, 0), 120, 80, 93, 72},
                    {T(2022, 3, 27, 7, 0), 130, 85, 95, 75}};
    patient.Deliver();
    TrendGrapView &v = *h.view;
    QCOMPARE(v.StartTime().secsTo(v.EndTime()), 23 * 3600);
    QCOMPARE(Points(v.NIBPPlot()->graph(0)), QList<QPointF>({{3600, 120}, {22 * 3600, 130}}));
    QVERIFY(!h.NextEnabled());

    patient.nibp = {{T(2022, 10, 29, 9, 0), 120, 80, 93, 72},
                    {T(2022, 10, 30, 7, 30), 130, 85, 95, 75}};
    patient.Deliver();
    QCOMPARE(v.StartTime().secsTo(v.EndTime()), 25 * 3600);
    QCOMPARE(v.GetMaxPageIndex(), 0);
    QCOMPARE(Points(v.NIBPPlot()->graph(0)), QList<QPointF>({{3600, 120}, {24.5 * 3600, 130}}));
}

QTEST_MAIN(TestTrendGrapView)
#include "tst_trendgrapview.moc"

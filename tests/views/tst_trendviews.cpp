#include "ModalWatcher.h"
#include "TestEnvironment.h"
#include "TrendGrapView.h"
#include "TrendHoverTip.h"
#include "TrendPatient.h"
#include "TrendTableView.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

// The points each graph of a plot really holds, as (key, value) pairs.
QList<QList<QPointF>> Graphs(const QCustomPlot *pPlot)
{
    QList<QList<QPointF>> graphs(pPlot->graphCount());
    for (int i = 0; i < pPlot->graphCount(); ++i)
        for (const QCPGraphData &point : *pPlot->graph(i)->data())
            graphs[i].append(QPointF(point.key, point.value));
    return graphs;
}

QStringList Numbers(int iFirst, int iLast, int iStep = 1)
{
    QStringList numbers;
    for (int i = iFirst; i <= iLast; i += iStep)
        numbers << QString::number(i);
    return numbers;
}

// Clicks the buttons named by what follows "radioButton_" or "pushButton_".
void Click(const QWidget &view, const QString &names)
{
    for (const QString &name : names.split(' ', Qt::SkipEmptyParts))
        for (QAbstractButton *pButton : view.findChildren<QAbstractButton *>())
            if (pButton->objectName().endsWith('_' + name))
                QTest::mouseClick(pButton, Qt::LeftButton);
}

// The page shown: "index: start - end", then "+"/"-" for First, Previous, Next and Last enabled.
QString State(const TrendGrapView &v)
{
    const char *format = "yyyy-MM-dd hh:mm";
    QString state = QString("%1: %2 - %3 ")
                        .arg(v.CurrentPage())
                        .arg(v.StartTime().toString(format), v.EndTime().toString(format));
    for (const char *pName : {"pushButton_FirstPage", "pushButton_PrevPage", "pushButton_NextPage",
                              "pushButton_LastPage"})
        state += v.findChild<QAbstractButton *>(pName)->isEnabled() ? '+' : '-';
    return state;
}

// A paging row: records (Sys 100, 101, ...; after "|" temperatures 36, 37, ...), the
// buttons clicked, then the page's state and the Sys and temperature points.
struct PageCase
{
    const char *span, *records, *clicks, *state;
    QStringList labels; // empty: not looked at
    QList<QPointF> points;
};

void Row(const char *name, const char *span, const char *records, const char *clicks,
         const char *state, const QStringList &labels, const QList<QPointF> &points)
{
    QTest::newRow(name) << PageCase{span, records, clicks, state, labels, points};
}

// Each table's header texts, then its rows' cell texts, each "|"-joined.
QStringList Shown(const TrendTableView &view)
{
    QStringList rows;
    for (const QTableView *pTable : {view.NIBPTable(), view.SPO2Table(), view.TEMPTable()}) {
        const QAbstractItemModel *pModel = pTable->model();
        for (int r = -1; r < pModel->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < pModel->columnCount(); ++c)
                cells << (r < 0 ? pModel->headerData(c, Qt::Horizontal)
                                : pModel->index(r, c).data())
                             .toString();
            rows << cells.join('|');
        }
    }
    return rows;
}

// One column's cell texts, top to bottom, " "-joined.
QString Column(const QTableView *pTable, int iColumn)
{
    QStringList cells;
    for (int r = 0; r < pTable->model()->rowCount(); ++r)
        cells << pTable->model()->index(r, iColumn).data().toString();
    return cells.join(' ');
}

void ClickHeader(QTableView *pTable, int iColumn)
{
    QHeaderView *pHeader = pTable->horizontalHeader();
    const QPoint at(pHeader->sectionViewportPosition(iColumn) + pHeader->sectionSize(iColumn) / 2,
                    3);
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

Q_DECLARE_METATYPE(PageCase)

class TestTrendViews : public QObject
{
    Q_OBJECT
    TestEnvironment m_env;

private slots:
    // A zone with clock changes (days of 23 and 25 hours), whatever the machine's.
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void init() { FailOnWarnings(); }

    // 07:30 on Thursday 3 March 2022 falls in the day from 08:00 on the 2nd and the week
    // from Monday the 28th; a record at a window's end is on the next page. Keys are
    // true seconds across clock changes; the last page holds the last record of any kind.
    void pages_data()
    {
        QTest::addColumn<PageCase>("c");
        const char *march = "2022-03-03 07:30,2022-03-10 09:00|2022-03-03 12:00";
        Row("day", "Day", march, "LastPage NextPage", "8: 2022-03-10 08:00 - 2022-03-11 08:00 ++-+",
            Numbers(8, 24) + Numbers(1, 7), {{3600, 101}});
        Row("week", "Week", march, "", "0: 2022-02-28 08:00 - 2022-03-07 08:00 +-++",
            {"Mon", "Tues", "Wed", "Thur", "Fri", "Sat", "Sun"},
            {{2 * 86400 + 84600, 100}, {3 * 86400 + 4 * 3600, 36}});
        Row("month", "Month", "2023-02-15 10:00", "", "0: 2023-02-01 08:00 - 2023-03-01 08:00 +--+",
            Numbers(1, 28), {{14 * 86400 + 7200, 100}});
        Row("month, into the new year", "Month", "2022-12-10 09:00|2023-02-10 09:00",
            "LastPage PrevPage", "1: 2023-01-01 08:00 - 2023-02-01 08:00 ++++", Numbers(1, 31), {});
        Row("at the start of the day after", "Day", "2022-03-26 09:00,2022-03-27 08:00", "NextPage",
            "1: 2022-03-27 08:00 - 2022-03-28 08:00 ++-+", {}, {{0, 101}});
        Row("day of 25 hours", "Day", "2022-10-29 09:00,2022-10-30 07:30", "",
            "0: 2022-10-29 08:00 - 2022-10-30 08:00 +--+", {}, {{3600, 100}, {24.5 * 3600, 101}});
        Row("hour", "Hour", "2022-03-02 09:47:12,2022-03-02 11:05", "",
            "0: 2022-03-02 09:00 - 2022-03-02 10:00 +-++", Numbers(0, 55, 5),
            {{47 * 60 + 12, 100}});
    }

    void pages()
    {
        QFETCH(PageCase, c);
        const auto v = ConnectedView<TrendGrapView>();
        Click(*v, c.span);
        const QStringList records = QString(c.records).split('|');
        TrendPatient patient;
        for (const QString &time : records[0].split(',', Qt::SkipEmptyParts))
            patient.nibp.push_back({At(time), quint16(100 + patient.nibp.size()), 80, 90, 70});
        for (const QString &time : records.mid(1).join("").split(',', Qt::SkipEmptyParts))
            patient.temp.push_back({At(time), 36.0f + patient.temp.size()});
        patient.Deliver();
        Click(*v, c.clicks);
        QCOMPARE(State(*v), QString(c.state));
        const double days = v->StartTime().daysTo(v->EndTime()) * 86400.0;
        const double length = QString(c.span) == "Hour"
                                  ? 3600
                                  : std::max(days, double(v->StartTime().secsTo(v->EndTime())));
        QCOMPARE(v->TEMPPlot()->xAxis->range(), QCPRange(0, length));
        if (!c.labels.isEmpty())
            QCOMPARE(v->NIBPPlot()->xAxis->tickVectorLabels(), c.labels);
        QCOMPARE(Graphs(v->NIBPPlot())[0] + Graphs(v->TEMPPlot())[0], c.points);
    }

    // Records within one second give one point, the last one's; a sparse band follows
    // the lines. An empty page keeps its value axes; clearing keeps the page number but
    // leaves no button to page with, as a patient without records does.
    void hourPagesOfOnePatient()
    {
        const auto v = ConnectedView<TrendGrapView>();
        Click(*v, "Hour");
        TrendPatient patient;
        const QDateTime second = At("2022-03-02 09:00:05");
        patient.nibp = {{second, 120, 86, 93, 75},
                        {second.addMSecs(400), 125, 85, 95, 74},
                        {At("2022-03-02 09:30"), 140, 90, 100, 80},
                        {At("2022-03-02 11:05"), 200, 150, 170, 90}};
        patient.spo2 = {{second, 97, 66}, {second.addMSecs(999), 95, 68}};
        patient.temp = {{second, 36.5f}, {At("2022-03-02 09:30"), 37.5f}};
        const QUuid uuid = patient.Deliver();
        const QList<QPointF> sys = {{5, 125}, {1800, 140}}, dia = {{5, 85}, {1800, 90}};
        QCOMPARE(Graphs(v->NIBPPlot()),
                 QList<QList<QPointF>>(
                     {sys, dia, {{5, 95}, {1800, 100}}, {{5, 74}, {1800, 80}}, sys, dia, {}}));
        QCOMPARE(Graphs(v->SPO2Plot()) + Graphs(v->TEMPPlot()),
                 QList<QList<QPointF>>({{{5, 95}}, {{5, 68}}, {{5, 36.5}, {1800, 37.5}}}));
        // The hover text names the record nearest to the mouse on that plot.
        const auto hover = [&v](const QCustomPlot *pPlot, double key) {
            const QPoint at(int(pPlot->xAxis->coordToPixel(key)), pPlot->axisRect()->center().y());
            return TrendHoverTip::TextAt(pPlot, v->StartTime(), at).split('\n');
        };
        QCOMPARE(hover(v->NIBPPlot(), 1200) + hover(v->SPO2Plot(), 3000) + hover(v->TEMPPlot(), 0),
                 QString("2022-03-02 09:30:00|Sys 140 mmHg|Dia 90 mmHg|Mean 100 mmHg|Pr 80 BPM|"
                         "2022-03-02 09:00:05|SPO2 95 %|Pr 68 BPM|2022-03-02 09:00:05|TEMP 36.5 C")
                     .split('|'));
        Click(*v, "NextPage");
        QVERIFY(Graphs(v->NIBPPlot())[0].isEmpty());
        QCOMPARE(QList<QCPRange>({v->NIBPPlot()->yAxis->range(), v->NIBPPlot()->yAxis2->range(),
                                  v->TEMPPlot()->yAxis->range()}),
                 QList<QCPRange>({{85, 140}, {74, 80}, {36.5, 37.5}}));

        // A report of every record draws them all (two in one second are one
        // point), dates on the axis; then the page comes back.
        v->DrawWholeRecordSet();
        QCOMPARE(Graphs(v->NIBPPlot())[0], QList<QPointF>({{0, 125}, {1795, 140}, {7495, 200}}));
        QCOMPARE(v->NIBPPlot()->xAxis->range(), QCPRange(0, 7496));
        v->RedrawPage();
        QVERIFY(Graphs(v->NIBPPlot())[0].isEmpty());

        Click(*v, "LastPage");
        PatientData::GetInstance()->ClearPatientData(&uuid);
        QCOMPARE(State(*v), "2: 2022-03-02 11:00 - 2022-03-02 12:00 ----");
        for (QCustomPlot *pPlot : {v->NIBPPlot(), v->SPO2Plot(), v->TEMPPlot()})
            QCOMPARE(Graphs(pPlot), QList<QList<QPointF>>(pPlot->graphCount()));

        Click(*v, "Day");
        QCOMPARE(State(*v).left(2) + State(*v).right(4), "0:----");
        TrendPatient().Deliver();
        QCOMPARE(State(*v).left(2) + State(*v).right(4), "0:----");
    }

    void denseBandCoversTheLines()
    {
        const auto v = ConnectedView<TrendGrapView>();
        TrendPatient patient;
        for (int i = 0; i < 8640; ++i) // one day, a record every 10 s
            patient.nibp.push_back({At("2022-03-02 08:00").addSecs(10 * i), 110 + (i * 7) % 40,
                                    80 + (i * 7) % 40 - i % 11, 90, 70});
        patient.Deliver();
        const QList<QList<QPointF>> g = Graphs(v->NIBPPlot());
        const QList<QPointF> &sys = g[0], &dia = g[1], &high = g[4], &low = g[5];
        QCOMPARE(sys.size(), 8640);
        QVERIFY(high.size() < sys.size() / 2 && high.size() == low.size());
        // Every point of both lines lies inside the band column that holds it.
        const double width = 86400.0 / std::max(1024, v->NIBPPlot()->axisRect()->width());
        for (int i = 0, column = 0; i < sys.size(); ++i) {
            while (high.at(column).x() + width / 2 <= sys.at(i).x())
                ++column;
            QVERIFY(std::abs(high.at(column).x() - sys.at(i).x()) <= width / 2);
            QVERIFY(high.at(column).y() >= sys.at(i).y() && low.at(column).y() <= dia.at(i).y());
        }
    }

    void tableRowsOfEachPatient()
    {
        const auto view = ConnectedView<TrendTableView>();
        TrendPatient first;
        first.nibp = {{At("2016-06-01 08:05:09"), 120, 80, 93, 72},
                      {At("2016-06-01 20:15"), 135, 0, 101, 300}};
        first.spo2 = {{At("2016-06-01 08:06"), 98, 71}, {At("2016-06-03 23:59:59"), 100, 65535}};
        first.Deliver();
        const QStringList firstRows({"Time|Sys|Dia|Mean|Pr", "2016-06-01 08:05:09|120|80|93|72",
                                     "2016-06-01 20:15:00|135|0|101|300", "Time|SPO2|PR",
                                     "2016-06-01 08:06:00|98|71", "2016-06-03 23:59:59|100|65535",
                                     "Time|Temp"});
        QCOMPARE(Shown(*view), firstRows);

        // A second patient replaces every row; temperatures show as plain decimals.
        TrendPatient second;
        const QDateTime t = At("2020-01-02 03:04:05");
        second.nibp = {{t, 1, 2, 3, 4}};
        second.temp = {{t, 36.6f}, {t, 37.0f}, {t, 36.55f}, {t, 0.0f}};
        const QUuid uuid = second.Deliver();
        const QStringList secondRows({"Time|Sys|Dia|Mean|Pr", "2020-01-02 03:04:05|1|2|3|4",
                                      "Time|SPO2|PR", "Time|Temp", "2020-01-02 03:04:05|36.6",
                                      "2020-01-02 03:04:05|37", "2020-01-02 03:04:05|36.55",
                                      "2020-01-02 03:04:05|0"});
        QCOMPARE(Shown(*view), secondRows);

        // His lists once more, with no clear before, replace the rows as well.
        second.Deliver(uuid);
        QCOMPARE(Shown(*view), secondRows);

        // Cleared tables have numbered headers until the next patient comes.
        PatientData::GetInstance()->ClearPatientData(&uuid);
        QCOMPARE(Shown(*view), QStringList({"1|2|3|4|5", "1|2|3", "1|2"}));
        first.Deliver();
        QCOMPARE(Shown(*view), firstRows);
        QCOMPARE(view->NIBPTable()->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    // Over the night the clocks go back, rows keep the order of measurement; their
    // texts follow the rules of the item-per-cell tables. A header click sorts by
    // its column (equal values in measurement order), a second one turns it round.
    void tableRowsInMeasureOrderUntilAHeaderIsClicked()
    {
        const auto view = ConnectedView<TrendTableView>();
        TrendPatient patient;
        const quint16 sys[] = {130, 120, 130, 110, 120, 125};
        QStringList expected = {"Time|Sys|Dia|Mean|Pr"}, spo2 = {"Time|SPO2|PR"},
                    temp = {"Time|Temp"};
        for (quint16 i = 0; i < 6; ++i) { // half-hourly from 01:30 CEST to 02:00 CET
            const QDateTime time = At("2022-10-30 01:30:15").addSecs(1800 * i);
            const float celsius = 36.0f + 0.35f * i;
            patient.nibp.push_back({time, sys[i], quint16(60 + i), i, 65535});
            patient.spo2.push_back({time, quint16(90 + i), 0});
            patient.temp.push_back({time, celsius});
            const QString at = time.toString("yyyy-MM-dd hh:mm:ss") + '|';
            expected << at + QString("%1|%2|%3|65535").arg(sys[i]).arg(60 + i).arg(i);
            spo2 << at + QString::number(90 + i) + "|0";
            temp << at + QString("%1").arg(double(celsius));
        }
        patient.Deliver();
        QCOMPARE(Shown(*view), expected + spo2 + temp);
        QCOMPARE(temp.at(2).left(19) + temp.at(4), "2022-10-30 02:00:152022-10-30 02:00:15|37.05");

        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QTableView *pTable = view->NIBPTable();
        ClickHeader(pTable, 1);
        QCOMPARE(Column(pTable, 3), "3 1 4 5 0 2");
        ClickHeader(pTable, 1);
        QCOMPARE(Column(pTable, 3), "0 2 5 1 4 3");
        ClickHeader(view->TEMPTable(), 1);
        ClickHeader(view->TEMPTable(), 1);
        QCOMPARE(Column(view->TEMPTable(), 1), "37.75 37.4 37.05 36.7 36.35 36");
        ClickHeader(pTable, 0);
        QCOMPARE(Column(pTable, 3), "0 1 2 3 4 5");
        ClickHeader(pTable, 2);
        patient.Deliver();
        QCOMPARE(Shown(*view), expected + spo2 + temp);
    }
};

QTEST_MAIN(TestTrendViews)
#include "tst_trendviews.moc"

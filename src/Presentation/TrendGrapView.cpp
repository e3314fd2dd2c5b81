#include "TrendGrapView.h"

#include "LongButtonStyle.h"
#include "PatientData.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPlotMinimumHeight = 150;
const QColor kBlue(55, 116, 196);
const QColor kGreen(53, 154, 39);
const QColor kRed(214, 69, 69);
const QColor kBandFill(187, 212, 247);

QPen GraphPen(const QColor &colour)
{
    return QPen(colour, 2, Qt::SolidLine);
}

QCPGraph *AddGraph(QCustomPlot *pPlot, const QString &name, const QColor &colour)
{
    QCPGraph *pGraph = pPlot->addGraph(pPlot->xAxis, pPlot->yAxis);
    pGraph->setName(name);
    pGraph->setPen(GraphPen(colour));
    return pGraph;
}

// A dense width-2 line stroked as one polyline costs seconds to raster when
// it folds over itself; segment by segment it costs milliseconds and looks
// the same.
void UseFastLines(QCustomPlot *pPlot)
{
    pPlot->setPlottingHint(QCP::phFastPolylines, true);
}

void SetValueAxis(QCPAxis *pAxis, const QString &label, double upper)
{
    pAxis->setVisible(true);
    pAxis->setLabel(label);
    pAxis->setRange(0, upper);
}

// Points of one graph for one window. Keys are whole seconds from the window
// start; two records in the same second give one point, the later one of the
// chain, as a map keyed by the second would keep it.
class PointSet
{
public:
    void Add(double key, double value) { m_points.append(QCPGraphData(key, value)); }

    void MoveInto(QCPGraph *pGraph)
    {
        std::stable_sort(m_points.begin(), m_points.end(), qcpLessThanSortKey<QCPGraphData>);
        KeepLastOfEachKey();
        pGraph->data()->set(m_points, true);
    }

private:
    void KeepLastOfEachKey()
    {
        int iOut = 0;
        for (int i = 0; i < m_points.size(); ++i) {
            if (i + 1 < m_points.size() && m_points.at(i + 1).key == m_points.at(i).key) {
                continue;
            }
            m_points[iOut++] = m_points.at(i);
        }
        m_points.resize(iOut);
    }

    QVector<QCPGraphData> m_points;
};

// The band between systolic and diastolic pressure: two pen-less graphs after
// the four named ones, on a layer below them, filled from one to the other.
// They carry a thinned copy of the two lines, so that a dense page does not
// raster thousands of zig-zag vertices for a fill that covers the same pixels.
constexpr int kBandHighGraph = 4;
constexpr int kBandLowGraph = 5;
constexpr int kBandMinimumColumns = 1024;

void SetBandPoints(QCustomPlot *pPlot, const QVector<QCPGraphData> &high,
                   const QVector<QCPGraphData> &low)
{
    pPlot->graph(kBandHighGraph)->data()->set(high, true);
    pPlot->graph(kBandLowGraph)->data()->set(low, true);
}

void AddPressureBand(QCustomPlot *pPlot)
{
    pPlot->addLayer(QStringLiteral("band"), pPlot->layer(QStringLiteral("main")),
                    QCustomPlot::limBelow);
    QCPGraph *pBand[2];
    for (QCPGraph *&pGraph : pBand) {
        pGraph = pPlot->addGraph(pPlot->xAxis, pPlot->yAxis);
        pGraph->setPen(Qt::NoPen);
        pGraph->setLayer(QStringLiteral("band"));
        pGraph->removeFromLegend();
    }
    pBand[0]->setBrush(QBrush(kBandFill));
    pBand[0]->setChannelFillGraph(pBand[1]);
}

// Up to two points per pixel column the band follows the lines exactly;
// beyond that each column keeps the highest systolic and lowest diastolic
// value, which is what the exact band would cover there.
void SetPressureBand(QCustomPlot *pPlot, double span)
{
    const QCPGraphDataContainer &sys = *pPlot->graph(0)->data();
    const QCPGraphDataContainer &dia = *pPlot->graph(1)->data();
    // A page never shown has not been laid out yet; the window is never
    // narrower than its minimum width, so that bounds the columns from below.
    const int columns = qMax(kBandMinimumColumns, pPlot->axisRect()->width());
    if (sys.size() != dia.size())
        return SetBandPoints(pPlot, QVector<QCPGraphData>(), QVector<QCPGraphData>());
    QVector<QCPGraphData> high;
    QVector<QCPGraphData> low;
    if (sys.size() <= 2 * columns || span <= 0) {
        high = QVector<QCPGraphData>(sys.constBegin(), sys.constEnd());
        low = QVector<QCPGraphData>(dia.constBegin(), dia.constEnd());
    } else {
        const double width = span / columns;
        auto d = dia.constBegin();
        for (auto s = sys.constBegin(); s != sys.constEnd(); ++s, ++d) {
            const double column = std::floor(s->key / width);
            const double key = (column + 0.5) * width;
            if (high.isEmpty() || high.last().key != key) {
                high.append(QCPGraphData(key, s->value));
                low.append(QCPGraphData(key, d->value));
            } else {
                high.last().value = qMax(high.last().value, s->value);
                low.last().value = qMin(low.last().value, d->value);
            }
        }
    }
    SetBandPoints(pPlot, high, low);
}

// The "Sys" legend entry shows the band's colour under its line. The line
// graph carries the band's brush for that, but its fill partner is a graph
// that never holds data, so the fill itself is left to the band graphs.
constexpr int kSysFillPartnerGraph = 6;

void ShowBandInSysEntry(QCustomPlot *pPlot)
{
    QCPGraph *pPartner = pPlot->addGraph(pPlot->xAxis, pPlot->yAxis);
    pPartner->removeFromLegend();
    pPartner->setVisible(false);
    pPlot->graph(0)->setBrush(QBrush(kBandFill));
    pPlot->graph(0)->setChannelFillGraph(pPartner);
}

// A row of its own above the plot area, at its right end: inside the plot
// area, the legend covered the latest records of the page, which are drawn
// at the right. The row's empty first column takes the width the legend
// does not need.
void PutLegendAbove(QCustomPlot *pPlot)
{
    QCPLegend *pLegend = pPlot->legend;
    pPlot->axisRect()->insetLayout()->take(pLegend);
    pLegend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    pLegend->setSizeConstraintRect(QCPLayoutElement::scrOuterRect);
    pLegend->setMaximumSize(pLegend->minimumOuterSizeHint());
    pLegend->setVisible(true);
    auto *pRow = new QCPLayoutGrid;
    pPlot->plotLayout()->insertRow(0);
    pPlot->plotLayout()->addElement(0, 0, pRow);
    pPlot->plotLayout()->setRowStretchFactor(0, 0.001);
    pRow->addElement(0, 1, pLegend);
    pRow->setMinimumMargins(QMargins(0, 2, 5, 0));
}

void ClearGraphs(QCustomPlot *pPlot)
{
    for (int i = 0; i < pPlot->graphCount(); ++i) {
        pPlot->graph(i)->data()->clear();
    }
}

void RescaleValueAxes(QCustomPlot *pPlot, bool bBothValueAxes)
{
    pPlot->yAxis->rescale(true);
    if (bBothValueAxes) {
        pPlot->yAxis2->rescale(true);
    }
}

// Keys of one window: seconds from its start. Converting a local time to the
// epoch asks the C library for the zone on every call, so while the window's
// two ends share one UTC offset the keys come from the wall clock instead,
// which then gives the same seconds.
class WindowKeys
{
public:
    WindowKeys(const QDateTime &start, const QDateTime &end)
        : m_start(start), m_iStartWallMs(WallMs(start)),
          m_bWallClock(start.offsetFromUtc() == end.offsetFromUtc())
    {
    }

    double Key(const QDateTime &time) const
    {
        if (m_bWallClock && time.timeSpec() == m_start.timeSpec()) {
            return static_cast<double>((WallMs(time) - m_iStartWallMs) / 1000);
        }
        return static_cast<double>(m_start.secsTo(time));
    }

private:
    static qint64 WallMs(const QDateTime &time)
    {
        return time.date().toJulianDay() * 86400000 + time.time().msecsSinceStartOfDay();
    }

    QDateTime m_start;
    qint64 m_iStartWallMs;
    bool m_bWallClock;
};

template <typename Record>
bool InWindow(const Record *pRecord, const QDateTime &start, const QDateTime &end)
{
    return start <= pRecord->MeasureTime && pRecord->MeasureTime < end;
}

} // namespace

TrendGrapView::TrendGrapView(QWidget *parent) : QWidget(parent)
{
    SetupUi();
    ConfigurePlots();
    SetTimeAxis();
    ConnectButtons();
    m_iCurrentPage = 0;
    m_StartTime = QDateTime::currentDateTime();
    m_EndTime = m_StartTime;
}

TrendGrapView::~TrendGrapView() = default;

QPushButton *TrendGrapView::CreatePageButton(const char *pName)
{
    auto *pButton = new QPushButton(this);
    pButton->setObjectName(QLatin1String(pName));
    pButton->setMinimumSize(96, 32);
    pButton->setStyleSheet(LongButtonStyleSheet());
    return pButton;
}

QRadioButton *TrendGrapView::CreateRadioButton(const char *pName)
{
    auto *pButton = new QRadioButton(this);
    pButton->setObjectName(QLatin1String(pName));
    horizontalLayout->addWidget(pButton);
    return pButton;
}

void TrendGrapView::SetupUi()
{
    setObjectName(QStringLiteral("TrendGrap"));
    resize(775, 635);
    setAutoFillBackground(false);
    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    QCustomPlot **plots[] = {&NIBPTrendGrap, &SPO2TrendGrap, &TEMPTrendGrap};
    const char *const names[] = {"NIBPTrendGrap", "SPO2TrendGrap", "TEMPTrendGrap"};
    const int spacerHeights[] = {40, 40, 34};
    for (int i = 0; i < 3; ++i) {
        *plots[i] = new QCustomPlot(this);
        (*plots[i])->setObjectName(QLatin1String(names[i]));
        (*plots[i])->setMinimumHeight(kPlotMinimumHeight);
        verticalLayout->addWidget(*plots[i]);
        // The plots take the height the page has to spare, not the gaps; on a
        // short page the gaps give way first.
        (*plots[i])->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        verticalLayout->addItem(
            new QSpacerItem(20, spacerHeights[i], QSizePolicy::Minimum, QSizePolicy::Maximum));
    }

    // The spans get a row of their own above the paging bar: beside the four
    // buttons and the page's dates they did not fit a narrow window.
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->addStretch();
    radioButton_Hour = CreateRadioButton("radioButton_Hour");
    radioButton_Day = CreateRadioButton("radioButton_Day");
    radioButton_Week = CreateRadioButton("radioButton_Week");
    radioButton_Month = CreateRadioButton("radioButton_Month");
    radioButton_Day->setChecked(true);
    horizontalLayout->addStretch();
    verticalLayout->addLayout(horizontalLayout);

    horizontalLayout_4 = new QHBoxLayout();
    horizontalLayout_4->setObjectName(QStringLiteral("horizontalLayout_4"));
    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    pushButton_FirstPage = CreatePageButton("pushButton_FirstPage");
    pushButton_PrevPage = CreatePageButton("pushButton_PrevPage");
    horizontalLayout_2->addWidget(pushButton_FirstPage);
    horizontalLayout_2->addWidget(pushButton_PrevPage);
    horizontalLayout_4->addLayout(horizontalLayout_2);
    horizontalLayout_4->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

    label_PageRange = new QLabel(this);
    label_PageRange->setObjectName(QStringLiteral("label_PageRange"));
    label_PageRange->setAlignment(Qt::AlignCenter);
    horizontalLayout_4->addWidget(label_PageRange);
    horizontalLayout_4->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

    horizontalLayout_3 = new QHBoxLayout();
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    pushButton_NextPage = CreatePageButton("pushButton_NextPage");
    pushButton_LastPage = CreatePageButton("pushButton_LastPage");
    horizontalLayout_3->addWidget(pushButton_NextPage);
    horizontalLayout_3->addWidget(pushButton_LastPage);
    horizontalLayout_4->addLayout(horizontalLayout_3);
    verticalLayout->addLayout(horizontalLayout_4);
    RetranslateUi();
}

void TrendGrapView::RetranslateUi()
{
    const auto tr = [](const char *pText) {
        return QCoreApplication::translate("TrendGrap", pText);
    };
    setWindowTitle(tr("Form"));
    pushButton_FirstPage->setText(tr("First"));
    pushButton_PrevPage->setText(tr("Previous"));
    radioButton_Hour->setText(tr("1 Hour"));
    radioButton_Day->setText(tr("1 Day"));
    radioButton_Week->setText(tr("1 Week"));
    radioButton_Month->setText(tr("1 Month"));
    pushButton_NextPage->setText(tr("Next"));
    pushButton_LastPage->setText(tr("Last"));
}

void TrendGrapView::ConfigurePlots()
{
    SetValueAxis(NIBPTrendGrap->yAxis, tr("mmHg"), 300);
    SetValueAxis(NIBPTrendGrap->yAxis2, tr("BPM"), 300);
    AddGraph(NIBPTrendGrap, tr("Sys"), kBlue);
    AddGraph(NIBPTrendGrap, tr("Dia"), kBlue);
    AddGraph(NIBPTrendGrap, tr("Mean"), kGreen);
    AddGraph(NIBPTrendGrap, tr("Pr"), kRed)->setValueAxis(NIBPTrendGrap->yAxis2);
    AddPressureBand(NIBPTrendGrap);
    ShowBandInSysEntry(NIBPTrendGrap);
    PutLegendAbove(NIBPTrendGrap);

    SetValueAxis(SPO2TrendGrap->yAxis, tr("%"), 100);
    SetValueAxis(SPO2TrendGrap->yAxis2, tr("BPM"), 300);
    AddGraph(SPO2TrendGrap, tr("SPO2"), kBlue);
    AddGraph(SPO2TrendGrap, tr("Pr"), kRed)->setValueAxis(SPO2TrendGrap->yAxis2);
    PutLegendAbove(SPO2TrendGrap);

    SetValueAxis(TEMPTrendGrap->yAxis, tr("C"), 50);
    AddGraph(TEMPTrendGrap, tr("TEMP"), kBlue);
    TEMPTrendGrap->legend->setVisible(false);
    // One left and one right margin for the three plot areas, the widest any
    // of them needs, so that one instant lies at one x on all three.
    auto *pMargins = new QCPMarginGroup(NIBPTrendGrap);
    for (QCustomPlot *pPlot : {NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap}) {
        UseFastLines(pPlot);
        pPlot->axisRect()->setMarginGroup(QCP::msLeft | QCP::msRight, pMargins);
    }
}

void TrendGrapView::ConnectButtons()
{
    for (QRadioButton *pButton :
         {radioButton_Hour, radioButton_Day, radioButton_Week, radioButton_Month}) {
        connect(pButton, &QRadioButton::clicked, this, &TrendGrapView::OnRadioButtonClicked);
    }
    connect(pushButton_FirstPage, &QPushButton::clicked, this,
            &TrendGrapView::OnFirstButtonClicked);
    connect(pushButton_PrevPage, &QPushButton::clicked, this, &TrendGrapView::OnPrevButtonClicked);
    connect(pushButton_NextPage, &QPushButton::clicked, this, &TrendGrapView::OnNextButtonClicked);
    connect(pushButton_LastPage, &QPushButton::clicked, this, &TrendGrapView::OnLastButtonClicked);
}

TrendPageWindow::Span TrendGrapView::CheckedSpan() const
{
    if (radioButton_Hour->isChecked()) {
        return TrendPageWindow::SpanHour;
    }
    if (radioButton_Week->isChecked()) {
        return TrendPageWindow::SpanWeek;
    }
    if (radioButton_Month->isChecked()) {
        return TrendPageWindow::SpanMonth;
    }
    return TrendPageWindow::SpanDay;
}

QDateTime TrendGrapView::ReferenceTime() const
{
    const PatientData *pData = PatientData::GetInstance();
    return TrendPageWindow::ReferenceTime(pData->GetNIBPDataList(), pData->GetSPO2DataList(),
                                          pData->GetTEMPDataList(), QDateTime::currentDateTime());
}

void TrendGrapView::GetBaseTimeRange(QDateTime &start, QDateTime &end) const
{
    TrendPageWindow::BaseTimeRange(CheckedSpan(), ReferenceTime(), start, end);
}

void TrendGrapView::GetPageTimeRange()
{
    QDateTime baseStart;
    QDateTime baseEnd;
    GetBaseTimeRange(baseStart, baseEnd);
    TrendPageWindow::PageTimeRange(CheckedSpan(), baseStart, baseEnd, m_iCurrentPage, m_StartTime,
                                   m_EndTime);
}

int TrendGrapView::GetMaxPageIndex() const
{
    QDateTime baseStart;
    QDateTime baseEnd;
    GetBaseTimeRange(baseStart, baseEnd);
    const PatientData *pData = PatientData::GetInstance();
    return TrendPageWindow::MaxPageIndex(CheckedSpan(), baseStart, pData->GetNIBPDataList(),
                                         pData->GetSPO2DataList(), pData->GetTEMPDataList());
}

void TrendGrapView::SetTimeAxis()
{
    const TrendPageWindow::Span span = CheckedSpan();
    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
    ticker->setTicks(TrendPageWindow::TickPositions(span, m_StartTime),
                     TrendPageWindow::TickLabels(span, m_StartTime));
    const double length = TrendPageWindow::AxisLength(span, m_StartTime);
    for (QCustomPlot *pPlot : {NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap}) {
        pPlot->xAxis->setVisible(true);
        pPlot->xAxis->setTicker(ticker);
        pPlot->xAxis->setRange(0, length);
    }
}

void TrendGrapView::DrawNIBP()
{
    PointSet points[4];
    const WindowKeys keys(m_StartTime, m_EndTime);
    for (const STU_DB_NIBP_DATA_LIST *p = PatientData::GetInstance()->GetNIBPDataList();
         p != nullptr; p = p->pNext) {
        if (!InWindow(p, m_StartTime, m_EndTime)) {
            continue;
        }
        const double key = keys.Key(p->MeasureTime);
        points[0].Add(key, p->SysValue);
        points[1].Add(key, p->DiaValue);
        points[2].Add(key, p->MeanValue);
        points[3].Add(key, p->PrValue);
    }
    for (int i = 0; i < 4; ++i) {
        points[i].MoveInto(NIBPTrendGrap->graph(i));
    }
    SetPressureBand(NIBPTrendGrap, NIBPTrendGrap->xAxis->range().size());
    RescaleValueAxes(NIBPTrendGrap, true);
}

void TrendGrapView::DrawSPO2()
{
    PointSet points[2];
    const WindowKeys keys(m_StartTime, m_EndTime);
    for (const STU_DB_SPO2_DATA_LIST *p = PatientData::GetInstance()->GetSPO2DataList();
         p != nullptr; p = p->pNext) {
        if (!InWindow(p, m_StartTime, m_EndTime)) {
            continue;
        }
        const double key = keys.Key(p->MeasureTime);
        points[0].Add(key, p->SPO2Value);
        points[1].Add(key, p->PrValue);
    }
    points[0].MoveInto(SPO2TrendGrap->graph(0));
    points[1].MoveInto(SPO2TrendGrap->graph(1));
    RescaleValueAxes(SPO2TrendGrap, true);
}

void TrendGrapView::DrawTEMP()
{
    PointSet points;
    const WindowKeys keys(m_StartTime, m_EndTime);
    for (const STU_DB_TEMP_DATA_LIST *p = PatientData::GetInstance()->GetTEMPDataList();
         p != nullptr; p = p->pNext) {
        if (InWindow(p, m_StartTime, m_EndTime)) {
            points.Add(keys.Key(p->MeasureTime), static_cast<double>(p->TempValue));
        }
    }
    points.MoveInto(TEMPTrendGrap->graph(0));
    RescaleValueAxes(TEMPTrendGrap, false);
}

// A plot's margins come from its own tick labels and, through the shared
// margins, from the other two plots' labels: every plot's ticks are made
// for the new ranges before any plot is laid out and drawn.
void TrendGrapView::ReplotAligned()
{
    const QCustomPlot *const plots[] = {NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap};
    for (const QCustomPlot *pPlot : plots) {
        pPlot->plotLayout()->update(QCPLayoutElement::upPreparation);
    }
    for (QCustomPlot *pPlot : {NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap}) {
        pPlot->replot(QCustomPlot::rpImmediateRefresh);
    }
}

QString TrendGrapView::PageRangeText() const
{
    return label_PageRange->text();
}

void TrendGrapView::UpdatePageButtons()
{
    const int iMaxPage = GetMaxPageIndex();
    pushButton_NextPage->setEnabled(m_iCurrentPage < iMaxPage);
    pushButton_PrevPage->setEnabled(m_iCurrentPage > 0);
}

void TrendGrapView::UpdateTrendGraph()
{
    GetPageTimeRange();
    SetTimeAxis();
    DrawNIBP();
    DrawSPO2();
    DrawTEMP();
    ReplotAligned();
    label_PageRange->setText(TrendPageWindow::RangeText(CheckedSpan(), m_StartTime, m_EndTime));
    UpdatePageButtons();
}

void TrendGrapView::OnPatientNIBPDataChanged() {}

void TrendGrapView::OnPatientSPO2DataChanged() {}

// The three chains of a new patient arrive NIBP, SpO2, temperature; the last
// one means all are in place.
void TrendGrapView::OnPatientTEMPDataChanged()
{
    m_iCurrentPage = 0;
    UpdateTrendGraph();
}

void TrendGrapView::OnClearPatientData()
{
    for (QCustomPlot *pPlot : {NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap}) {
        ClearGraphs(pPlot);
    }
    ReplotAligned();
    // The axes stay as they were, but no patient's days are on show any more.
    label_PageRange->clear();
}

// A new span starts again at the window of the earliest record. The key axes
// keep the fixed window, as every paging action shows it.
void TrendGrapView::OnRadioButtonClicked()
{
    m_iCurrentPage = 0;
    UpdateTrendGraph();
}

void TrendGrapView::OnFirstButtonClicked()
{
    m_iCurrentPage = 0;
    UpdateTrendGraph();
}

void TrendGrapView::OnPrevButtonClicked()
{
    m_iCurrentPage = std::max(0, m_iCurrentPage - 1);
    UpdateTrendGraph();
}

void TrendGrapView::OnNextButtonClicked()
{
    m_iCurrentPage = std::min(m_iCurrentPage + 1, GetMaxPageIndex());
    UpdateTrendGraph();
}

void TrendGrapView::OnLastButtonClicked()
{
    m_iCurrentPage = GetMaxPageIndex();
    UpdateTrendGraph();
}

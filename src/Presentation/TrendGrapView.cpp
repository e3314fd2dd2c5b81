#include "TrendGrapView.h"

#include "LongButtonStyle.h"
#include "PatientData.h"
#include "PressureBand.h"
#include "TrendHoverTip.h"
#include "TrendPagePoints.h"
#include "TrendPlotStyle.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>

namespace {

constexpr int kPlotMinimumHeight = 150;

// Puts a page's series into the plot's first graphs, one series each.
void ShowSeries(QCustomPlot *pPlot, const QVector<TrendPagePoints::Series> &series)
{
    for (int i = 0; i < series.size(); ++i) {
        QVector<QCPGraphData> data;
        data.reserve(series.at(i).size());
        for (const QPointF &point : series.at(i)) {
            data.append(QCPGraphData(point.x(), point.y()));
        }
        pPlot->graph(i)->data()->set(data, true);
    }
}

constexpr int kWholeSetTicks = 4;

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

} // namespace

TrendGrapView::TrendGrapView(QWidget *parent) : QWidget(parent)
{
    SetupUi();
    TrendPlotStyle::Configure(NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap);
    for (QCustomPlot *pPlot : {NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap}) {
        TrendHoverTip::Attach(pPlot, [this] { return m_StartTime; });
    }
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
    ShowTimeAxis(ticker, TrendPageWindow::AxisLength(span, m_StartTime));
}

void TrendGrapView::ShowTimeAxis(const QSharedPointer<QCPAxisTicker> &ticker, double length)
{
    for (QCustomPlot *pPlot : {NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap}) {
        pPlot->xAxis->setVisible(true);
        pPlot->xAxis->setTicker(ticker);
        pPlot->xAxis->setRange(0, length);
    }
}

void TrendGrapView::DrawPage()
{
    DrawPoints(TrendPageWindow::Keys(m_StartTime, m_EndTime));
}

void TrendGrapView::DrawWholeRecordSet()
{
    const PatientData *pData = PatientData::GetInstance();
    const QDateTime last = TrendPageWindow::LatestTime(
        pData->GetNIBPDataList(), pData->GetSPO2DataList(), pData->GetTEMPDataList());
    if (!last.isValid())
        return;
    const QDateTime first = ReferenceTime();
    const QDateTime end = last.addSecs(1);
    const TrendPageWindow::Keys keys(first, end);
    const double length = keys.Key(end);
    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
    for (int i = 0; i <= kWholeSetTicks; ++i) {
        const double key = length * i / kWholeSetTicks;
        ticker->addTick(key, first.addSecs(qint64(key)).toString(QStringLiteral("MM-dd hh:mm")));
    }
    ShowTimeAxis(ticker, length);
    DrawPoints(keys);
    ReplotAligned();
}

void TrendGrapView::DrawPoints(const TrendPageWindow::Keys &keys)
{
    const PatientData *pData = PatientData::GetInstance();
    ShowSeries(NIBPTrendGrap, TrendPagePoints::Of(pData->GetNIBPDataList(), keys));
    PressureBand::Update(NIBPTrendGrap, NIBPTrendGrap->xAxis->range().size());
    RescaleValueAxes(NIBPTrendGrap, true);
    ShowSeries(SPO2TrendGrap, TrendPagePoints::Of(pData->GetSPO2DataList(), keys));
    RescaleValueAxes(SPO2TrendGrap, true);
    ShowSeries(TEMPTrendGrap, TrendPagePoints::Of(pData->GetTEMPDataList(), keys));
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

// Without a single record (a patient without any, or none shown any more)
// there is nothing to page through.
void TrendGrapView::UpdatePageButtons()
{
    const PatientData *pData = PatientData::GetInstance();
    const bool bAnyRecord =
        pData->GetNIBPDataList() || pData->GetSPO2DataList() || pData->GetTEMPDataList();
    const int iMaxPage = GetMaxPageIndex();
    pushButton_FirstPage->setEnabled(bAnyRecord);
    pushButton_LastPage->setEnabled(bAnyRecord);
    pushButton_NextPage->setEnabled(bAnyRecord && m_iCurrentPage < iMaxPage);
    pushButton_PrevPage->setEnabled(bAnyRecord && m_iCurrentPage > 0);
}

void TrendGrapView::UpdateTrendGraph()
{
    GetPageTimeRange();
    SetTimeAxis();
    DrawPage();
    ReplotAligned();
    label_PageRange->setText(TrendPageWindow::RangeText(CheckedSpan(), m_StartTime, m_EndTime));
    UpdatePageButtons();
}

void TrendGrapView::OnPatientNIBPDataChanged()
{
    OnDataListArrived();
}

void TrendGrapView::OnPatientSPO2DataChanged()
{
    OnDataListArrived();
}

void TrendGrapView::OnPatientTEMPDataChanged()
{
    OnDataListArrived();
}

// A patient is drawn once all three of his chains are in place, from his
// first page on.
void TrendGrapView::OnDataListArrived()
{
    if (!PatientData::GetInstance()->HasAllDataLists()) {
        return;
    }
    m_bShownSinceData = isVisible();
    m_iCurrentPage = 0;
    UpdateTrendGraph();
}

void TrendGrapView::showEvent(QShowEvent *pEvent)
{
    m_bShownSinceData = true;
    QWidget::showEvent(pEvent);
}

void TrendGrapView::OnClearPatientData()
{
    for (QCustomPlot *pPlot : {NIBPTrendGrap, SPO2TrendGrap, TEMPTrendGrap}) {
        ClearGraphs(pPlot);
    }
    ReplotAligned();
    UpdatePageButtons();
    m_bShownSinceData = false;
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

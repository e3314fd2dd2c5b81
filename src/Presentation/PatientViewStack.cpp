#include "PatientViewStack.h"

#include "MDatabaseService.h"
#include "PageFont.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "TrendGrapView.h"
#include "TrendTableView.h"

#include <QStackedWidget>

namespace {

// Only the page on show asks for room, so that the view column scrolls only
// when that page does not fit (a stack asks for its largest page otherwise).
void SizeStackToPage(QStackedWidget *stack, int current)
{
    for (int i = 0; i < stack->count(); ++i) {
        const auto policy = i == current ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        stack->widget(i)->setSizePolicy(policy, policy);
    }
}

} // namespace

PatientViewStack::PatientViewStack(QWidget *pWindow)
    : QObject(pWindow), m_pStack(new QStackedWidget(pWindow)),
      m_pDetailView(new PatientDetailInfoView(pWindow)), m_pTableView(new TrendTableView(pWindow)),
      m_pGraphView(new TrendGrapView(pWindow))
{
    m_pStack->setObjectName(QStringLiteral("ViewStackedWidget"));
    AddPage(m_pDetailView);
    ConnectDetailView();
    AddPage(m_pTableView);
    ConnectRecordView(m_pTableView);
    AddPage(m_pGraphView);
    ConnectRecordView(m_pGraphView);
    connect(m_pStack, &QStackedWidget::currentChanged, this,
            [this](int current) { SizeStackToPage(m_pStack, current); });
    ShowPage(0);
    SizeStackToPage(m_pStack, 0);
}

void PatientViewStack::ShowPage(int page)
{
    m_pStack->setCurrentIndex(page);
}

void PatientViewStack::AddPage(QWidget *pView)
{
    QFont font = pView->font();
    font.setFamily(QStringLiteral("Arial"));
    font.setPixelSize(13);
    SetPageFont(pView, font);
    // Colour first: adding the page polishes it, and a page polished before
    // its palette was set keeps the default grey.
    QPalette viewPalette = m_pStack->parentWidget()->palette();
    viewPalette.setBrush(QPalette::Window, QBrush(QColor(225, 230, 242)));
    pView->setPalette(viewPalette);
    pView->setAutoFillBackground(true);
    m_pStack->addWidget(pView);
}

void PatientViewStack::ConnectDetailView()
{
    PatientData *model = PatientData::GetInstance();
    MDatabaseService *service = MDatabaseService::GetInstance();
    connect(model, &PatientData::OnPatientDetailInfoChanged, m_pDetailView,
            &PatientDetailInfoView::OnPatientDetailInfoChanged);
    connect(m_pDetailView, &PatientDetailInfoView::AddDatabaseWork, service,
            &MDatabaseService::ProcessDatabaseTaskProc);
    connect(model, &PatientData::OnClearPatientData, m_pDetailView, &PatientDetailInfoView::Clear);
    connect(service, &MDatabaseService::OnSearchPatientToMergeSucc, m_pDetailView,
            &PatientDetailInfoView::OnSearchPatientToMergeSucc, Qt::QueuedConnection);
}

// The trend tables and the trend graphs follow the model alike.
template <typename RecordView> void PatientViewStack::ConnectRecordView(RecordView *pView)
{
    PatientData *model = PatientData::GetInstance();
    connect(model, &PatientData::OnPatientNIBPDataChanged, pView,
            &RecordView::OnPatientNIBPDataChanged);
    connect(model, &PatientData::OnPatientSPO2DataChanged, pView,
            &RecordView::OnPatientSPO2DataChanged);
    connect(model, &PatientData::OnPatientTEMPDataChanged, pView,
            &RecordView::OnPatientTEMPDataChanged);
    connect(model, &PatientData::OnClearPatientData, pView, &RecordView::OnClearPatientData);
}

#include "TrendGrapView.h"

TrendGrapView::TrendGrapView(QWidget *parent) : QWidget(parent) {}

TrendGrapView::~TrendGrapView() = default;

int TrendGrapView::GetMaxPageIndex() const
{
    return 0;
}

void TrendGrapView::OnPatientNIBPDataChanged() {}
void TrendGrapView::OnPatientSPO2DataChanged() {}
void TrendGrapView::OnPatientTEMPDataChanged() {}
void TrendGrapView::OnClearPatientData() {}
void TrendGrapView::OnRadioButtonClicked() {}
void TrendGrapView::OnFirstButtonClicked() {}
void TrendGrapView::OnPrevButtonClicked() {}
void TrendGrapView::OnNextButtonClicked() {}
void TrendGrapView::OnLastButtonClicked() {}

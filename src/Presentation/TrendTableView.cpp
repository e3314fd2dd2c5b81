#include "TrendTableView.h"

TrendTableView::TrendTableView(QWidget *parent) : QWidget(parent) {}

TrendTableView::~TrendTableView() = default;

void TrendTableView::OnPatientNIBPDataChanged() {}
void TrendTableView::OnPatientSPO2DataChanged() {}
void TrendTableView::OnPatientTEMPDataChanged() {}
void TrendTableView::OnClearPatientData() {}

#include "PatientDetailInfoView.h"

PatientDetailInfoView::PatientDetailInfoView(QWidget *parent) : QWidget(parent) {}

PatientDetailInfoView::~PatientDetailInfoView() = default;

void PatientDetailInfoView::OnSaveButtonClicked() {}

void PatientDetailInfoView::OnPatientDetailInfoChanged() {}

void PatientDetailInfoView::Clear() {}

void PatientDetailInfoView::OnSearchPatientToMergeSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    FreeRecordChain(pPatientList);
}

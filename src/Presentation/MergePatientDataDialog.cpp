#include "MergePatientDataDialog.h"

MergePatientDataDialog::MergePatientDataDialog(QWidget *parent) : QDialog(parent) {}

MergePatientDataDialog::~MergePatientDataDialog() = default;

void MergePatientDataDialog::SetPatientList(const STU_DB_PATIENT_LIST *,
                                            const STU_DB_PATIENT_LIST *)
{
}

int MergePatientDataDialog::GetSelectedPatientIDs(QUuid **, int)
{
    return 0;
}

void MergePatientDataDialog::OnMergeButtonClicked()
{
    accept();
}

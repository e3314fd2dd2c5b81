#include "MergeFlow.h"

#include "MLog.h"
#include "MSettings.h"
#include "MergeKeys.h"
#include "PatientDetailInfoView.h"
#include "PatientListModel.h"
#include "PatientListPanel.h"
#include "UserMessages.h"

#include <memory>

MergeFlow::MergeFlow(PatientDetailInfoView *pDetailView, PatientListPanel *pList,
                     const UserMessages &messages, QObject *parent)
    : QObject(parent), m_pDetailView(pDetailView), m_pList(pList), m_messages(messages)
{
}

bool MergeFlow::SearchLookAlikes(const STU_DB_PATIENT_LIST &saved)
{
    const uint chosenKeys = MSettings::GetInstance()->GetMergeKeyBits();
    const uint keyBits = MergeKeysWithValues(chosenKeys, saved);
    if (keyBits != 0) {
        // The look-alikes are compared with the record as saved, whoever is
        // on show when they arrive; the database thread reads a copy of its own.
        m_pDetailView->ExpectMergeCandidates(saved);
        emit DatabaseWork(DB_WORK_SEARCH_PATIENT_TO_MERGE, keyBits,
                          reinterpret_cast<quintptr>(CopyRecord(saved)));
    }
    return keyBits == 0 && chosenKeys != 0;
}

bool MergeFlow::TakeMerged(QUuid *puuidNew, QUuid *puuidOld)
{
    std::unique_ptr<QUuid> remaining(puuidNew);
    std::unique_ptr<QUuid> removed(puuidOld);
    if (!remaining || !removed)
        return false;
    m_pList->Model()->Remove(*removed);
    m_pList->Repaint();
    return true;
}

void MergeFlow::TakeProcessResult(uint iWorkType, uint iErrorCode)
{
    // The merge answer has already taken the removed patient's row away; after a
    // failed merge that patient is still stored, so the list is read again.
    if (iWorkType != DB_WORK_MERGE_PATIENT_DATA || iErrorCode == DB_OK)
        return;
    MLOG(
        QStringLiteral("Merge patient data failed (%1), reload the patient list.").arg(iErrorCode));
    emit DatabaseWork(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0);
    m_messages.MergeFailed();
}

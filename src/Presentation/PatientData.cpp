#include "PatientData.h"

PatientData *PatientData::GetInstance()
{
    // Deliberately never deleted: views may still hold its signals at exit.
    static PatientData *s_pInstance = new PatientData;
    return s_pInstance;
}

PatientData::PatientData() : QObject(nullptr) {}

PatientData::~PatientData()
{
    delete m_pCurrentPatient;
    DropLists();
}

void PatientData::SetCurrentPatient(STU_DB_PATIENT_LIST *pPatient)
{
    if (pPatient) {
        // Handing back the record already held must not free it under the caller.
        if (pPatient != m_pCurrentPatient) {
            delete m_pCurrentPatient;
            m_pCurrentPatient = pPatient;
        }
        return;
    }
    if (m_pCurrentPatient) {
        const QUuid uuid = m_pCurrentPatient->PatientID;
        ClearPatientData(&uuid);
        return;
    }
    DropLists();
}

void PatientData::SetCurrentPatientAndNotify(STU_DB_PATIENT_LIST *pPatient)
{
    SetCurrentPatient(pPatient);
    emit OnPatientDetailInfoChanged();
}

void PatientData::ClearPatientData(const QUuid *puuidPatient)
{
    if (!puuidPatient || !IsCurrentPatient(*puuidPatient))
        return;
    delete m_pCurrentPatient;
    m_pCurrentPatient = nullptr;
    DropLists();
    emit OnClearPatientData();
}

void PatientData::OnDatabaseGetNIBPDataListSucc(QUuid *pInQuid, STU_DB_NIBP_DATA_LIST *pDataList)
{
    if (TakeListAnswer(m_pNIBPDataList, pInQuid, pDataList) != ListAnswer::Ignored)
        emit OnPatientNIBPDataChanged();
}

void PatientData::OnDatabaseGetSPO2DataListSucc(QUuid *pInQuid, STU_DB_SPO2_DATA_LIST *pDataList)
{
    if (TakeListAnswer(m_pSPO2DataList, pInQuid, pDataList) != ListAnswer::Ignored)
        emit OnPatientSPO2DataChanged();
}

void PatientData::OnDatabaseGetTEMPDataListSucc(QUuid *pInQuid, STU_DB_TEMP_DATA_LIST *pDataList)
{
    if (TakeListAnswer(m_pTEMPDataList, pInQuid, pDataList) != ListAnswer::Ignored)
        emit OnPatientTEMPDataChanged();
}

// Takes over both arguments. An answer for the current patient replaces the
// held chain; one for another patient is freed and the held chain stays (the
// views still redraw); without a UUID or a current patient it is only freed.
template <typename Record>
PatientData::ListAnswer PatientData::TakeListAnswer(Record *&pHeld, QUuid *pInQuid,
                                                    Record *pDataList)
{
    if (!pInQuid || !m_pCurrentPatient) {
        delete pInQuid;
        FreeRecordChain(pDataList);
        return ListAnswer::Ignored;
    }
    const bool bCurrent = IsCurrentPatient(*pInQuid);
    delete pInQuid;
    if (!bCurrent) {
        FreeRecordChain(pDataList);
        return ListAnswer::Discarded;
    }
    if (pDataList != pHeld) {
        FreeRecordChain(pHeld);
        pHeld = pDataList;
    }
    return ListAnswer::Stored;
}

bool PatientData::IsCurrentPatient(const QUuid &uuid) const
{
    return m_pCurrentPatient && m_pCurrentPatient->PatientID == uuid;
}

void PatientData::DropLists()
{
    FreeRecordChain(m_pNIBPDataList);
    m_pNIBPDataList = nullptr;
    FreeRecordChain(m_pSPO2DataList);
    m_pSPO2DataList = nullptr;
    FreeRecordChain(m_pTEMPDataList);
    m_pTEMPDataList = nullptr;
}

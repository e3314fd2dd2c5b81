#include "PatientData.h"

#include <QEventLoop>
#include <QTimer>

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
        if (pPatient == m_pCurrentPatient)
            return;
        // Another patient's chains must not stay on show under this one's name.
        if (m_pCurrentPatient && m_pCurrentPatient->PatientID != pPatient->PatientID) {
            const QUuid uuid = m_pCurrentPatient->PatientID;
            ClearPatientData(&uuid);
        }
        delete m_pCurrentPatient;
        m_pCurrentPatient = pPatient;
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

bool PatientData::HasAllDataLists() const
{
    return m_pCurrentPatient && m_bNIBPArrived && m_bSPO2Arrived && m_bTEMPArrived;
}

bool PatientData::WaitForDataLists(int iTimeoutMs)
{
    if (HasAllDataLists() || !m_pCurrentPatient)
        return HasAllDataLists();
    const QUuid uuid = m_pCurrentPatient->PatientID;
    QEventLoop loop;
    const auto check = [this, &loop, &uuid] {
        if (HasAllDataLists() || !IsCurrentPatient(uuid))
            loop.quit();
    };
    for (auto signal :
         {&PatientData::OnPatientNIBPDataChanged, &PatientData::OnPatientSPO2DataChanged,
          &PatientData::OnPatientTEMPDataChanged, &PatientData::OnClearPatientData})
        connect(this, signal, &loop, check);
    QTimer::singleShot(iTimeoutMs, &loop, &QEventLoop::quit);
    // No user input meanwhile: nothing the user does can change the patient.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return IsCurrentPatient(uuid) && HasAllDataLists();
}

void PatientData::OnDatabaseGetNIBPDataListSucc(QUuid *pInQuid, STU_DB_NIBP_DATA_LIST *pDataList)
{
    if (TakeListAnswer(m_pNIBPDataList, m_bNIBPArrived, pInQuid, pDataList))
        emit OnPatientNIBPDataChanged();
}

void PatientData::OnDatabaseGetSPO2DataListSucc(QUuid *pInQuid, STU_DB_SPO2_DATA_LIST *pDataList)
{
    if (TakeListAnswer(m_pSPO2DataList, m_bSPO2Arrived, pInQuid, pDataList))
        emit OnPatientSPO2DataChanged();
}

void PatientData::OnDatabaseGetTEMPDataListSucc(QUuid *pInQuid, STU_DB_TEMP_DATA_LIST *pDataList)
{
    if (TakeListAnswer(m_pTEMPDataList, m_bTEMPArrived, pInQuid, pDataList))
        emit OnPatientTEMPDataChanged();
}

// Takes over both arguments. An answer for the current patient replaces the
// held chain; any other (no UUID, no current patient, somebody else) is only
// freed, and the views are not told, since nothing they show has changed.
template <typename Record>
bool PatientData::TakeListAnswer(Record *&pHeld, bool &bArrived, QUuid *pInQuid, Record *pDataList)
{
    const bool bCurrent = pInQuid && IsCurrentPatient(*pInQuid);
    delete pInQuid;
    if (!bCurrent) {
        FreeRecordChain(pDataList);
        return false;
    }
    if (pDataList != pHeld) {
        FreeRecordChain(pHeld);
        pHeld = pDataList;
    }
    // An answer after a full set begins the next set (the patient's lists asked
    // for again): its three answers are awaited anew.
    if (HasAllDataLists())
        m_bNIBPArrived = m_bSPO2Arrived = m_bTEMPArrived = false;
    bArrived = true;
    return true;
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
    m_bNIBPArrived = m_bSPO2Arrived = m_bTEMPArrived = false;
}

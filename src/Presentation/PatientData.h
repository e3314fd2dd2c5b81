#pragma once

#include "DatabaseRecords.h"

#include <QObject>
#include <QUuid>

// The patient the user is looking at: his detail record and his NIBP, SpO2
// and temperature record chains, as the database service delivers them. The
// detail form, the trend views and the export read from here and follow the
// change signals. Lives on the GUI thread.
//
// The model owns the record and the three chains it holds. Readers get plain
// pointers and must not keep them past the next change signal. Every chain
// held belongs to the current patient: a new patient drops the previous one's
// chains at once (OnClearPatientData), and an answer for anybody else is
// freed unseen. Until his three answers are in, a patient's chains are empty
// and HasAllDataLists() is false.
class PatientData : public QObject
{
    Q_OBJECT

public:
    // The process-wide model, created on first use (GUI thread) and never
    // destroyed.
    static PatientData *GetInstance();

    // A model of its own, for code that must not share the process-wide one.
    PatientData();
    ~PatientData() override;
    PatientData(const PatientData &) = delete;
    PatientData &operator=(const PatientData &) = delete;

    STU_DB_PATIENT_LIST *GetCurrentPatient() const { return m_pCurrentPatient; }
    STU_DB_NIBP_DATA_LIST *GetNIBPDataList() const { return m_pNIBPDataList; }
    STU_DB_SPO2_DATA_LIST *GetSPO2DataList() const { return m_pSPO2DataList; }
    STU_DB_TEMP_DATA_LIST *GetTEMPDataList() const { return m_pTEMPDataList; }

    // Takes pPatient (its pNext is not followed) as the current record. The
    // same patient's newer record keeps the chains; another patient's first
    // drops the current one with his chains (OnClearPatientData). Null drops
    // the current patient the same way; without one the chains go silently.
    void SetCurrentPatient(STU_DB_PATIENT_LIST *pPatient);
    // SetCurrentPatient, then OnPatientDetailInfoChanged.
    void SetCurrentPatientAndNotify(STU_DB_PATIENT_LIST *pPatient);
    // Drops the record and all chains if puuidPatient is the current patient's
    // UUID, and emits OnClearPatientData. Does not take puuidPatient.
    void ClearPatientData(const QUuid *puuidPatient);

    // Whether the NIBP, SpO2 and temperature answers for the current patient
    // have all arrived (false without a current patient). The answer that
    // completes a set is the one after which the views have the patient's
    // three lists in place, whatever the order of the answers.
    bool HasAllDataLists() const;
    // Runs the event loop, without user input, until the current patient's
    // three chains are in or iTimeoutMs has passed. True when they are in for
    // the patient that was current at the call.
    bool WaitForDataLists(int iTimeoutMs);

signals:
    void OnPatientDetailInfoChanged();
    void OnPatientNIBPDataChanged();
    void OnPatientSPO2DataChanged();
    void OnPatientTEMPDataChanged();
    void OnClearPatientData();

public slots:
    // Answers of the database service, connected queued. Both arguments are
    // handed over: the slot owns the UUID and the chain.
    void OnDatabaseGetNIBPDataListSucc(QUuid *pInQuid, STU_DB_NIBP_DATA_LIST *pDataList);
    void OnDatabaseGetSPO2DataListSucc(QUuid *pInQuid, STU_DB_SPO2_DATA_LIST *pDataList);
    void OnDatabaseGetTEMPDataListSucc(QUuid *pInQuid, STU_DB_TEMP_DATA_LIST *pDataList);

private:
    template <typename Record>
    bool TakeListAnswer(Record *&pHeld, bool &bArrived, QUuid *pInQuid, Record *pDataList);
    bool IsCurrentPatient(const QUuid &uuid) const;
    void DropLists();

    STU_DB_PATIENT_LIST *m_pCurrentPatient = nullptr;
    STU_DB_NIBP_DATA_LIST *m_pNIBPDataList = nullptr;
    STU_DB_SPO2_DATA_LIST *m_pSPO2DataList = nullptr;
    STU_DB_TEMP_DATA_LIST *m_pTEMPDataList = nullptr;
    // Whether the current patient's answer of each kind has arrived.
    bool m_bNIBPArrived = false;
    bool m_bSPO2Arrived = false;
    bool m_bTEMPArrived = false;
};

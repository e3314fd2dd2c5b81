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
// pointers and must not keep them past the next change signal. The chains are
// replaced independently of the record, so after a new patient becomes current
// the previous patient's chains stay until the new answers arrive.
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

    // Takes pPatient (its pNext is not followed) as the current record, keeping
    // the chains. Null drops the current patient: with a current record that
    // is ClearPatientData for it (with OnClearPatientData), without one the
    // chains are dropped silently.
    void SetCurrentPatient(STU_DB_PATIENT_LIST *pPatient);
    // SetCurrentPatient, then OnPatientDetailInfoChanged.
    void SetCurrentPatientAndNotify(STU_DB_PATIENT_LIST *pPatient);
    // Drops the record and all chains if puuidPatient is the current patient's
    // UUID, and emits OnClearPatientData. Does not take puuidPatient.
    void ClearPatientData(const QUuid *puuidPatient);

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
    enum class ListAnswer
    {
        Ignored,
        Discarded,
        Stored
    };
    template <typename Record>
    ListAnswer TakeListAnswer(Record *&pHeld, QUuid *pInQuid, Record *pDataList);
    bool IsCurrentPatient(const QUuid &uuid) const;
    void DropLists();

    STU_DB_PATIENT_LIST *m_pCurrentPatient = nullptr;
    STU_DB_NIBP_DATA_LIST *m_pNIBPDataList = nullptr;
    STU_DB_SPO2_DATA_LIST *m_pSPO2DataList = nullptr;
    STU_DB_TEMP_DATA_LIST *m_pTEMPDataList = nullptr;
};

#pragma once

#include <QtGlobal>

// What became of the work items of one import run. The database service
// notes every new patient and record chain it stores between the run's begin
// and end markers; since work items run in posting order, the marker that
// ends the run comes after the run's last item, whatever store is behind it.
class ImportRunTally
{
public:
    void Begin(uint iRun);
    // Ends the run; the counts stay readable until the next Begin.
    void End();
    bool IsCounting() const { return m_iRun != 0; }
    uint Run() const { return m_iRun; }

    // The records an import work item carries; read before the item runs,
    // since running it frees them.
    static uint RecordCount(uint iWorkType, quintptr lParam);
    // iStored: the records of a chain the store found new. A patient
    // already stored (DB_ERR_PATIENT_EXISTS) is no failure.
    void Note(uint iWorkType, uint iErrorCode, uint iRecords, uint iStored);
    // The items noted from here to SharedTransactionEnded share one
    // transaction: its commit stores them all, or loses them all.
    void SharedTransactionBegun() { m_shared = Counts(); }
    void SharedTransactionEnded(bool bStored);

    uint NewPatients() const { return m_counts.newPatients; }
    uint NewRecords() const { return m_counts.newRecords; }
    uint SkippedRecords() const { return m_counts.skippedRecords; }
    uint PatientsNotStored() const { return m_counts.patientsNotStored; }
    uint RecordsNotStored() const { return m_counts.recordsNotStored; }

private:
    struct Counts
    {
        uint newPatients = 0;
        uint newRecords = 0;
        uint skippedRecords = 0;
        uint patientsNotStored = 0;
        uint recordsNotStored = 0;
    };

    uint m_iRun = 0;
    Counts m_counts;
    // What the items of the open shared transaction added to m_counts.
    Counts m_shared;
};

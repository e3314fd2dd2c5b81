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
    // A patient already stored (DB_ERR_PATIENT_EXISTS) is no failure.
    void Note(uint iWorkType, uint iErrorCode, uint iRecords);

    uint PatientsNotStored() const { return m_iPatientsNotStored; }
    uint RecordsNotStored() const { return m_iRecordsNotStored; }

private:
    uint m_iRun = 0;
    uint m_iPatientsNotStored = 0;
    uint m_iRecordsNotStored = 0;
};

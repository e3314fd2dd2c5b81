#include "ImportRunTally.h"

#include "DatabaseRecords.h"

namespace {

template <typename Record> uint ChainLength(quintptr lParam)
{
    return static_cast<uint>(RecordChainLength(reinterpret_cast<const Record *>(lParam)));
}

bool IsRecordInsert(uint iWorkType)
{
    return iWorkType == DB_WORK_INSERT_NIBP_DATA || iWorkType == DB_WORK_INSERT_SPO2_DATA ||
           iWorkType == DB_WORK_INSERT_TEMP_DATA;
}

} // namespace

void ImportRunTally::Begin(uint iRun)
{
    m_iRun = iRun;
    m_counts = Counts();
    m_shared = Counts();
}

void ImportRunTally::End()
{
    m_iRun = 0;
}

uint ImportRunTally::RecordCount(uint iWorkType, quintptr lParam)
{
    switch (iWorkType) {
    case DB_WORK_INSERT_NIBP_DATA:
        return ChainLength<STU_DB_NIBP_DATA_LIST>(lParam);
    case DB_WORK_INSERT_SPO2_DATA:
        return ChainLength<STU_DB_SPO2_DATA_LIST>(lParam);
    case DB_WORK_INSERT_TEMP_DATA:
        return ChainLength<STU_DB_TEMP_DATA_LIST>(lParam);
    default:
        return 0;
    }
}

void ImportRunTally::Note(uint iWorkType, uint iErrorCode, uint iRecords, uint iStored)
{
    if (!IsCounting())
        return;
    if (iWorkType == DB_WORK_INSERT_NEW_PATIENT && iErrorCode == DB_OK) {
        ++m_counts.newPatients;
        ++m_shared.newPatients;
    } else if (iWorkType == DB_WORK_INSERT_NEW_PATIENT && iErrorCode != DB_ERR_PATIENT_EXISTS) {
        ++m_counts.patientsNotStored;
    } else if (IsRecordInsert(iWorkType) && iErrorCode == DB_OK) {
        m_counts.newRecords += iStored;
        m_counts.skippedRecords += iRecords - iStored;
        m_shared.newRecords += iStored;
        m_shared.skippedRecords += iRecords - iStored;
    } else if (IsRecordInsert(iWorkType)) {
        m_counts.recordsNotStored += iRecords;
    }
}

void ImportRunTally::SharedTransactionEnded(bool bStored)
{
    if (!bStored) {
        m_counts.newPatients -= m_shared.newPatients;
        m_counts.newRecords -= m_shared.newRecords;
        m_counts.skippedRecords -= m_shared.skippedRecords;
        m_counts.patientsNotStored += m_shared.newPatients;
        m_counts.recordsNotStored += m_shared.newRecords + m_shared.skippedRecords;
    }
    m_shared = Counts();
}

#include "ImportRunTally.h"

#include "DatabaseRecords.h"

namespace {

template <typename Record> uint ChainLength(quintptr lParam)
{
    return static_cast<uint>(RecordChainLength(reinterpret_cast<const Record *>(lParam)));
}

} // namespace

void ImportRunTally::Begin(uint iRun)
{
    m_iRun = iRun;
    m_iPatientsNotStored = 0;
    m_iRecordsNotStored = 0;
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

void ImportRunTally::Note(uint iWorkType, uint iErrorCode, uint iRecords)
{
    if (!IsCounting() || iErrorCode == DB_OK)
        return;
    if (iWorkType == DB_WORK_INSERT_NEW_PATIENT && iErrorCode != DB_ERR_PATIENT_EXISTS)
        ++m_iPatientsNotStored;
    else if (iWorkType == DB_WORK_INSERT_NIBP_DATA || iWorkType == DB_WORK_INSERT_SPO2_DATA ||
             iWorkType == DB_WORK_INSERT_TEMP_DATA)
        m_iRecordsNotStored += iRecords;
}

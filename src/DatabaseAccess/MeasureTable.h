#pragma once

#include "DatabaseRecords.h"
#include "DatabaseStatements.h"
#include "DatabaseValueCodec.h"
#include "MeasureRecords.h"
#include "ParameterSink.h"
#include "PreparedStatement.h"

// What differs between the three measurement tables, by record type.
template <typename Record> struct MeasureTable;

// The texts and codes of one kind's operations.
struct MeasureTexts
{
    MeasureKind kind;
    int columns; // of the insert
    const char *select;
    uint insertCode;
    const char *insertNullGuid;
    const char *insertFailed;
    const char *noData;
    uint getCode;
    const char *getNullGuid;
    const char *getFailed;
};
// By MeasureKind.
// clang-format off
inline constexpr MeasureTexts kMeasureTexts[] = {
    {MeasureKind::Nibp, 6, kSqlSelectNibpList,
     DB_ERR_INSERT_NIBP, "Insert new NIBP data that patient guid is null.",
     "Insert NIBP data to database failed!",
     "No nibp data has been saved to database.",
     DB_ERR_GET_NIBP, "GetNibpDataList that GUID is null.", "Get NIBP Data failed."},
    {MeasureKind::Spo2, 4, kSqlSelectSpo2List,
     DB_ERR_INSERT_SPO2, "Insert new SPO2 data that patient guid is null.",
     "Insert SPO2 data to database failed!",
     "No SPO2 data has been saved to database.",
     DB_ERR_GET_SPO2, "GetSPO2DataList that GUID is null.", "Get SPO2 Data failed."},
    {MeasureKind::Temp, 3, kSqlSelectTempList,
     DB_ERR_INSERT_TEMP, "Insert new TEMP data that patient guid is null.",
     "Insert TEMP data to database failed!",
     "No TEMP data has been saved to database.",
     DB_ERR_GET_TEMP, "GetTempDataList that GUID is null.", "Get TEMP Data failed."}};
// clang-format on

// Data tables: 0 ID, 1 PatientID, 2 MeasureTime, then the values.
constexpr int kDataColID = 0;
constexpr int kDataColMeasureTime = 2;
constexpr int kDataColFirstValue = 3;

template <> struct MeasureTable<STU_DB_NIBP_DATA_LIST>
{
    static constexpr const MeasureTexts &kTexts = kMeasureTexts[int(MeasureKind::Nibp)];

    // The values follow :PatientID and :MeasureTime in the insert.
    static bool BindValues(ParameterSink &insert, const STU_DB_NIBP_DATA_LIST &record)
    {
        return insert.Bind(2, static_cast<int>(record.SysValue)) &&
               insert.Bind(3, static_cast<int>(record.DiaValue)) &&
               insert.Bind(4, static_cast<int>(record.MeanValue)) &&
               insert.Bind(5, static_cast<int>(record.PrValue));
    }
    static void ReadValues(const PreparedStatement &row, STU_DB_NIBP_DATA_LIST &record)
    {
        record.SysValue = static_cast<quint16>(row.Value(kDataColFirstValue).toUInt());
        record.DiaValue = static_cast<quint16>(row.Value(kDataColFirstValue + 1).toUInt());
        record.MeanValue = static_cast<quint16>(row.Value(kDataColFirstValue + 2).toUInt());
        record.PrValue = static_cast<quint16>(row.Value(kDataColFirstValue + 3).toUInt());
    }
};

template <> struct MeasureTable<STU_DB_SPO2_DATA_LIST>
{
    static constexpr const MeasureTexts &kTexts = kMeasureTexts[int(MeasureKind::Spo2)];

    static bool BindValues(ParameterSink &insert, const STU_DB_SPO2_DATA_LIST &record)
    {
        return insert.Bind(2, static_cast<int>(record.SPO2Value)) &&
               insert.Bind(3, static_cast<int>(record.PrValue));
    }
    static void ReadValues(const PreparedStatement &row, STU_DB_SPO2_DATA_LIST &record)
    {
        record.SPO2Value = static_cast<quint16>(row.Value(kDataColFirstValue).toUInt());
        record.PrValue = static_cast<quint16>(row.Value(kDataColFirstValue + 1).toUInt());
    }
};

template <> struct MeasureTable<STU_DB_TEMP_DATA_LIST>
{
    static constexpr const MeasureTexts &kTexts = kMeasureTexts[int(MeasureKind::Temp)];

    static bool BindValues(ParameterSink &insert, const STU_DB_TEMP_DATA_LIST &record)
    {
        return insert.Bind(2, record.TempValue);
    }
    static void ReadValues(const PreparedStatement &row, STU_DB_TEMP_DATA_LIST &record)
    {
        record.TempValue = row.Value(kDataColFirstValue).toFloat();
    }
};

// A chain of one record type as the insert strategies walk it.
template <typename Record> class ChainRecords : public MeasureRecords
{
public:
    explicit ChainRecords(const Record *chain) : m_pNext(chain) {}

    MeasureKind Kind() const override { return MeasureTable<Record>::kTexts.kind; }
    int Columns() const override { return MeasureTable<Record>::kTexts.columns; }
    bool Next() override
    {
        m_pCurrent = m_pNext;
        m_pNext = m_pCurrent ? m_pCurrent->pNext : nullptr;
        return m_pCurrent != nullptr;
    }
    QVariant Time() const override
    {
        return DatabaseValueCodec::DateTimeToDb(m_pCurrent->MeasureTime);
    }
    bool BindValues(ParameterSink &sink) const override
    {
        return MeasureTable<Record>::BindValues(sink, *m_pCurrent);
    }

private:
    const Record *m_pNext;
    const Record *m_pCurrent = nullptr;
};

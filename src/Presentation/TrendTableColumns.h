#pragma once

#include "DatabaseRecords.h"

#include <QList>
#include <QString>
#include <QVector>

// One column of a trend table: its header text, set by every refill, and its
// drawn width. Before its first refill a table may name a column otherwise.
struct TrendTableColumn
{
    const char *pTitle;
    int iWidth;
    const char *pFirstTitle; // null: the same as pTitle
};

// What the trend tables show of each record kind, in one place: the columns
// and the text of every cell. Column 0 is the measure time; the others hold
// one value each, which is also what the table sorts by.
class TrendTableColumns
{
public:
    static const QVector<TrendTableColumn> &Of(const STU_DB_NIBP_DATA_LIST *);
    static const QVector<TrendTableColumn> &Of(const STU_DB_SPO2_DATA_LIST *);
    static const QVector<TrendTableColumn> &Of(const STU_DB_TEMP_DATA_LIST *);

    // The value in column iColumn (1 and on) of the record.
    static double Value(const STU_DB_NIBP_DATA_LIST &nibp, int iColumn);
    static double Value(const STU_DB_SPO2_DATA_LIST &spo2, int iColumn);
    static double Value(const STU_DB_TEMP_DATA_LIST &temp, int iColumn);

    // The text of a cell, as the table shows it.
    template <typename Record> static QString Text(const Record &record, int iColumn)
    {
        return iColumn == 0 ? TimeText(record.MeasureTime)
                            : ValueText(&record, Value(record, iColumn));
    }

    // The header texts: before the first refill, or set by every refill.
    static QString Title(const TrendTableColumn &column, bool bFirst);
    static QList<int> Widths(const QVector<TrendTableColumn> &columns);

private:
    static QString TimeText(const QDateTime &time);
    static QString ValueText(const STU_DB_TEMP_DATA_LIST *, double value);
    static QString ValueText(const void *, double value);
};

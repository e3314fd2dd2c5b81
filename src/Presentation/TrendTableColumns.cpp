#include "TrendTableColumns.h"

#include <QCoreApplication>

namespace {

const char *const kTimeFormat = "yyyy-MM-dd hh:mm:ss";

} // namespace

// The NIBP table names its pulse column in capitals, like the SpO2 table,
// only until its first refill.
const QVector<TrendTableColumn> &TrendTableColumns::Of(const STU_DB_NIBP_DATA_LIST *)
{
    static const QVector<TrendTableColumn> columns = {{"Time", 320, nullptr},
                                                      {"Sys", 120, nullptr},
                                                      {"Dia", 120, nullptr},
                                                      {"Mean", 120, nullptr},
                                                      {"Pr", 120, "PR"}};
    return columns;
}

const QVector<TrendTableColumn> &TrendTableColumns::Of(const STU_DB_SPO2_DATA_LIST *)
{
    static const QVector<TrendTableColumn> columns = {
        {"Time", 200, nullptr}, {"SPO2", 100, nullptr}, {"PR", 100, nullptr}};
    return columns;
}

const QVector<TrendTableColumn> &TrendTableColumns::Of(const STU_DB_TEMP_DATA_LIST *)
{
    static const QVector<TrendTableColumn> columns = {{"Time", 240, nullptr},
                                                      {"Temp", 160, nullptr}};
    return columns;
}

double TrendTableColumns::Value(const STU_DB_NIBP_DATA_LIST &nibp, int iColumn)
{
    switch (iColumn) {
    case 1:
        return nibp.SysValue;
    case 2:
        return nibp.DiaValue;
    case 3:
        return nibp.MeanValue;
    default:
        return nibp.PrValue;
    }
}

double TrendTableColumns::Value(const STU_DB_SPO2_DATA_LIST &spo2, int iColumn)
{
    return iColumn == 1 ? spo2.SPO2Value : spo2.PrValue;
}

double TrendTableColumns::Value(const STU_DB_TEMP_DATA_LIST &temp, int)
{
    return static_cast<double>(temp.TempValue);
}

QString TrendTableColumns::Title(const TrendTableColumn &column, bool bFirst)
{
    // The layout's texts and the refill's belong to different contexts.
    if (bFirst) {
        return QCoreApplication::translate("TrendTable",
                                           column.pFirstTitle ? column.pFirstTitle : column.pTitle);
    }
    return QCoreApplication::translate("TrendTableView", column.pTitle);
}

QList<int> TrendTableColumns::Widths(const QVector<TrendTableColumn> &columns)
{
    QList<int> widths;
    for (const TrendTableColumn &column : columns) {
        widths << column.iWidth;
    }
    return widths;
}

QString TrendTableColumns::TimeText(const QDateTime &time)
{
    return time.toString(QLatin1String(kTimeFormat));
}

// The float as a double, 'g' with the default precision: 36.6f shows as 36.6.
QString TrendTableColumns::ValueText(const STU_DB_TEMP_DATA_LIST *, double value)
{
    return QString("%1").arg(value);
}

// The unsigned 16-bit values in decimal.
QString TrendTableColumns::ValueText(const void *, double value)
{
    return QString::number(static_cast<quint16>(value));
}

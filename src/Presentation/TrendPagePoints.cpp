#include "TrendPagePoints.h"

#include <algorithm>
#include <array>

namespace {

using Series = TrendPagePoints::Series;

std::array<double, 4> Values(const STU_DB_NIBP_DATA_LIST *p)
{
    return {double(p->SysValue), double(p->DiaValue), double(p->MeanValue), double(p->PrValue)};
}

std::array<double, 2> Values(const STU_DB_SPO2_DATA_LIST *p)
{
    return {double(p->SPO2Value), double(p->PrValue)};
}

std::array<double, 1> Values(const STU_DB_TEMP_DATA_LIST *p)
{
    return {static_cast<double>(p->TempValue)};
}

// Sorted by key, the later of equal keys kept, as a map keyed by the second
// would keep it.
void SortKeepingLastOfEachKey(Series &points)
{
    std::stable_sort(points.begin(), points.end(),
                     [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    int iOut = 0;
    for (int i = 0; i < points.size(); ++i) {
        if (i + 1 < points.size() && points.at(i + 1).x() == points.at(i).x()) {
            continue;
        }
        points[iOut++] = points.at(i);
    }
    points.resize(iOut);
}

template <typename Record>
QVector<Series> Collect(const Record *pChain, const TrendPageWindow::Keys &keys)
{
    constexpr int kSeries = int(std::tuple_size<decltype(Values(pChain))>::value);
    QVector<Series> series(kSeries);
    for (const Record *p = pChain; p != nullptr; p = p->pNext) {
        if (!keys.Holds(p->MeasureTime)) {
            continue;
        }
        const double key = keys.Key(p->MeasureTime);
        const auto values = Values(p);
        for (int i = 0; i < kSeries; ++i) {
            series[i].append(QPointF(key, values[i]));
        }
    }
    for (Series &points : series) {
        SortKeepingLastOfEachKey(points);
    }
    return series;
}

} // namespace

QVector<Series> TrendPagePoints::Of(const STU_DB_NIBP_DATA_LIST *pChain,
                                    const TrendPageWindow::Keys &keys)
{
    return Collect(pChain, keys);
}

QVector<Series> TrendPagePoints::Of(const STU_DB_SPO2_DATA_LIST *pChain,
                                    const TrendPageWindow::Keys &keys)
{
    return Collect(pChain, keys);
}

QVector<Series> TrendPagePoints::Of(const STU_DB_TEMP_DATA_LIST *pChain,
                                    const TrendPageWindow::Keys &keys)
{
    return Collect(pChain, keys);
}

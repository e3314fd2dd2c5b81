#pragma once

#include "DatabaseRecords.h"
#include "TrendPageWindow.h"

#include <QPointF>
#include <QVector>

// The points of one page of the trend graphs, built from a record chain and
// the page's keys without any widget: one series per graph, in key order,
// x the key and y the value. Keys are whole seconds, so two records in the
// same second give one point, the later one of the chain.
class TrendPagePoints
{
public:
    using Series = QVector<QPointF>;

    // Sys, Dia, Mean, Pr.
    static QVector<Series> Of(const STU_DB_NIBP_DATA_LIST *pChain,
                              const TrendPageWindow::Keys &keys);
    // SPO2, Pr.
    static QVector<Series> Of(const STU_DB_SPO2_DATA_LIST *pChain,
                              const TrendPageWindow::Keys &keys);
    // TEMP.
    static QVector<Series> Of(const STU_DB_TEMP_DATA_LIST *pChain,
                              const TrendPageWindow::Keys &keys);
};

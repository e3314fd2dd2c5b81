#include "PressureBand.h"

#include <qcustomplot.h>

#include <cmath>

namespace {

const QColor kBandFill(187, 212, 247);
constexpr int kBandHighGraph = 4;
constexpr int kBandLowGraph = 5;
constexpr int kBandMinimumColumns = 1024;

void SetBandPoints(QCustomPlot *pPlot, const QVector<QCPGraphData> &high,
                   const QVector<QCPGraphData> &low)
{
    pPlot->graph(kBandHighGraph)->data()->set(high, true);
    pPlot->graph(kBandLowGraph)->data()->set(low, true);
}

// The "Sys" legend entry shows the band's colour under its line. The line
// graph carries the band's brush for that, but its fill partner is a graph
// that never holds data, so the fill itself is left to the band graphs.
void ShowBandInSysEntry(QCustomPlot *pPlot)
{
    QCPGraph *pPartner = pPlot->addGraph(pPlot->xAxis, pPlot->yAxis);
    pPartner->removeFromLegend();
    pPartner->setVisible(false);
    pPlot->graph(0)->setBrush(QBrush(kBandFill));
    pPlot->graph(0)->setChannelFillGraph(pPartner);
}

} // namespace

void PressureBand::Add(QCustomPlot *pPlot)
{
    pPlot->addLayer(QStringLiteral("band"), pPlot->layer(QStringLiteral("main")),
                    QCustomPlot::limBelow);
    QCPGraph *pBand[2];
    for (QCPGraph *&pGraph : pBand) {
        pGraph = pPlot->addGraph(pPlot->xAxis, pPlot->yAxis);
        pGraph->setPen(Qt::NoPen);
        pGraph->setLayer(QStringLiteral("band"));
        pGraph->removeFromLegend();
    }
    pBand[0]->setBrush(QBrush(kBandFill));
    pBand[0]->setChannelFillGraph(pBand[1]);
    ShowBandInSysEntry(pPlot);
}

// Up to two points per pixel column the band follows the lines exactly;
// beyond that each column keeps the highest systolic and lowest diastolic
// value, which is what the exact band would cover there.
void PressureBand::Update(QCustomPlot *pPlot, double span)
{
    const QCPGraphDataContainer &sys = *pPlot->graph(0)->data();
    const QCPGraphDataContainer &dia = *pPlot->graph(1)->data();
    // A page never shown has not been laid out yet; the window is never
    // narrower than its minimum width, so that bounds the columns from below.
    const int columns = qMax(kBandMinimumColumns, pPlot->axisRect()->width());
    if (sys.size() != dia.size())
        return SetBandPoints(pPlot, QVector<QCPGraphData>(), QVector<QCPGraphData>());
    QVector<QCPGraphData> high;
    QVector<QCPGraphData> low;
    if (sys.size() <= 2 * columns || span <= 0) {
        high = QVector<QCPGraphData>(sys.constBegin(), sys.constEnd());
        low = QVector<QCPGraphData>(dia.constBegin(), dia.constEnd());
    } else {
        const double width = span / columns;
        auto d = dia.constBegin();
        for (auto s = sys.constBegin(); s != sys.constEnd(); ++s, ++d) {
            const double column = std::floor(s->key / width);
            const double key = (column + 0.5) * width;
            if (high.isEmpty() || high.last().key != key) {
                high.append(QCPGraphData(key, s->value));
                low.append(QCPGraphData(key, d->value));
            } else {
                high.last().value = qMax(high.last().value, s->value);
                low.last().value = qMin(low.last().value, d->value);
            }
        }
    }
    SetBandPoints(pPlot, high, low);
}

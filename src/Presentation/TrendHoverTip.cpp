#include "TrendHoverTip.h"

#include <QMouseEvent>
#include <QToolTip>
#include <qcustomplot.h>

#include <cmath>

namespace {

// The index of the point whose key is nearest to key; -1 without points.
int NearestPoint(const QCPGraphDataContainer &data, double key)
{
    if (data.isEmpty()) {
        return -1;
    }
    auto after = data.findBegin(key, false);
    if (after == data.constEnd()) {
        return data.size() - 1;
    }
    if (after != data.constBegin() && key - (after - 1)->key < after->key - key) {
        --after;
    }
    return int(after - data.constBegin());
}

} // namespace

TrendHoverTip::TrendHoverTip(QCustomPlot *pPlot, std::function<QDateTime()> windowStart)
    : QObject(pPlot), m_pPlot(pPlot), m_windowStart(std::move(windowStart))
{
}

void TrendHoverTip::Attach(QCustomPlot *pPlot, std::function<QDateTime()> windowStart)
{
    pPlot->setMouseTracking(true);
    pPlot->installEventFilter(new TrendHoverTip(pPlot, std::move(windowStart)));
}

// The graphs the legend names hold one point per record at the same keys, so
// the index found on the first graph is that record's on every one of them.
QString TrendHoverTip::TextAt(const QCustomPlot *pPlot, const QDateTime &windowStart,
                              const QPoint &pos)
{
    if (pPlot->graphCount() == 0) {
        return QString();
    }
    const double key = pPlot->xAxis->pixelToCoord(pos.x());
    const int iPoint = NearestPoint(*pPlot->graph(0)->data(), key);
    if (iPoint < 0) {
        return QString();
    }
    const double pointKey = pPlot->graph(0)->data()->at(iPoint)->key;
    QStringList lines = {
        windowStart.addSecs(qint64(pointKey)).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))};
    for (int i = 0; i < pPlot->graphCount(); ++i) {
        const QCPGraph *pGraph = pPlot->graph(i);
        if (!pPlot->legend->hasItemWithPlottable(pGraph) || pGraph->data()->size() <= iPoint) {
            continue;
        }
        lines << QStringLiteral("%1 %2 %3")
                     .arg(pGraph->name(), QString::number(pGraph->data()->at(iPoint)->value),
                          pGraph->valueAxis()->label());
    }
    return lines.join(QLatin1Char('\n'));
}

bool TrendHoverTip::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pEvent->type() == QEvent::MouseMove) {
        const QPoint pos = static_cast<QMouseEvent *>(pEvent)->position().toPoint();
        const bool bOverData = m_pPlot->axisRect()->rect().contains(pos);
        const QString text = bOverData ? TextAt(m_pPlot, m_windowStart(), pos) : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(m_pPlot->mapToGlobal(pos), text, m_pPlot);
        }
    } else if (pEvent->type() == QEvent::Leave) {
        QToolTip::hideText();
    }
    return QObject::eventFilter(pWatched, pEvent);
}

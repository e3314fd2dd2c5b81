#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

class QCustomPlot;
class QPoint;

// Shows, while the mouse moves over a trend plot, a tooltip with the measure
// time and the values of the record nearest to the mouse on that plot. It only
// reads the plot; the plot stays display-only.
class TrendHoverTip : public QObject
{
    Q_OBJECT

public:
    // The window start gives the time of a key; owned by pPlot.
    static void Attach(QCustomPlot *pPlot, std::function<QDateTime()> windowStart);

    // The tooltip for the mouse at pos (widget coordinates): the time of the
    // nearest point of the plot's first graph, then one line per graph the
    // legend names ("Sys 120 mmHg"). Empty when the plot shows no point.
    static QString TextAt(const QCustomPlot *pPlot, const QDateTime &windowStart,
                          const QPoint &pos);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    TrendHoverTip(QCustomPlot *pPlot, std::function<QDateTime()> windowStart);

    QCustomPlot *m_pPlot;
    std::function<QDateTime()> m_windowStart;
};

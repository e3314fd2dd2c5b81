#pragma once

#include "DatabaseRecords.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// The time windows of the trend graphs, without any widget: where page 0
// starts for a patient, where page p lies, which page a record belongs to,
// the key of a time on a page, and the fixed ticks of the key axis. Days run from 08:00 to 08:00,
// weeks start on Monday 08:00 and months on the first at 08:00.
class TrendPageWindow
{
public:
    enum Span
    {
        SpanHour,
        SpanDay,
        SpanWeek,
        SpanMonth
    };

    // The keys of one window [start, end): whole seconds from its start,
    // true seconds across a clock change.
    class Keys
    {
    public:
        Keys(const QDateTime &start, const QDateTime &end);
        bool Holds(const QDateTime &time) const { return m_start <= time && time < m_end; }
        double Key(const QDateTime &time) const;
        QDateTime Start() const { return m_start; }

    private:
        QDateTime m_start;
        QDateTime m_end;
        qint64 m_iStartWallMs;
        bool m_bWallClock;
    };

    // The patient's earliest record over the three chains, or now if all are empty.
    static QDateTime ReferenceTime(const STU_DB_NIBP_DATA_LIST *pNIBP,
                                   const STU_DB_SPO2_DATA_LIST *pSPO2,
                                   const STU_DB_TEMP_DATA_LIST *pTEMP, const QDateTime &now);
    // The patient's latest record over the three chains (each chain's last);
    // invalid when all are empty.
    static QDateTime LatestTime(const STU_DB_NIBP_DATA_LIST *pNIBP,
                                const STU_DB_SPO2_DATA_LIST *pSPO2,
                                const STU_DB_TEMP_DATA_LIST *pTEMP);

    // Page 0: the window of the given span that holds the reference time.
    static void BaseTimeRange(Span span, const QDateTime &reference, QDateTime &start,
                              QDateTime &end);
    // Page p: the base window moved forward by p spans.
    static void PageTimeRange(Span span, const QDateTime &baseStart, const QDateTime &baseEnd,
                              int iPage, QDateTime &start, QDateTime &end);
    // The page whose window holds the given time (never below 0).
    static int PageIndexOf(Span span, const QDateTime &baseStart, const QDateTime &time);
    // The page of the latest record of the three chains; 0 when all are empty.
    static int MaxPageIndex(Span span, const QDateTime &baseStart,
                            const STU_DB_NIBP_DATA_LIST *pNIBP, const STU_DB_SPO2_DATA_LIST *pSPO2,
                            const STU_DB_TEMP_DATA_LIST *pTEMP);

    // Key axis of a window starting at start: length in seconds, tick
    // positions in seconds from the start, and their labels.
    static double AxisLength(Span span, const QDateTime &start);
    static QVector<double> TickPositions(Span span, const QDateTime &start);
    static QVector<QString> TickLabels(Span span, const QDateTime &start);

    // The window [start, end) in words, days named by the date their 08:00
    // falls on: "Mon 30 Nov 2026 14:00 – 15:00" (hour), "Mon 30 Nov 2026"
    // (day), "Mon 30 Nov 2026 – Sun 6 Dec 2026" (week, month).
    static QString RangeText(Span span, const QDateTime &start, const QDateTime &end);
};

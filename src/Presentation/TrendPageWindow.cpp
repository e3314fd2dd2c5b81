#include "TrendPageWindow.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>

namespace {

constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerDay = 86400;
constexpr int kDaysPerWeek = 7;
constexpr int kDayStartHour = 8;

template <typename Record> const Record *LastRecord(const Record *pRecord)
{
    while (pRecord != nullptr && pRecord->pNext != nullptr) {
        pRecord = pRecord->pNext;
    }
    return pRecord;
}

template <typename Record> void TakeEarlier(const Record *pHead, QDateTime &reference)
{
    if (pHead != nullptr && pHead->MeasureTime < reference) {
        reference = pHead->MeasureTime;
    }
}

template <typename Record> void TakeLater(const Record *pHead, QDateTime &latest)
{
    const Record *pLast = LastRecord(pHead);
    if (pLast != nullptr && (!latest.isValid() || pLast->MeasureTime > latest)) {
        latest = pLast->MeasureTime;
    }
}

QDateTime AtDayStart(const QDate &date, const QDateTime &like)
{
    return QDateTime(date, QTime(kDayStartHour, 0), like.timeSpec());
}

// Whole spans from baseStart to time, as a first guess; PageIndexOf corrects it
// against the real page windows, which differ from fixed lengths across months
// and clock changes.
int EstimatedPage(TrendPageWindow::Span span, const QDateTime &baseStart, const QDateTime &time)
{
    switch (span) {
    case TrendPageWindow::SpanHour:
        return static_cast<int>(baseStart.secsTo(time) / kSecondsPerHour);
    case TrendPageWindow::SpanDay:
        return static_cast<int>(baseStart.secsTo(time) / kSecondsPerDay);
    case TrendPageWindow::SpanWeek:
        return static_cast<int>(baseStart.daysTo(time) / kDaysPerWeek);
    case TrendPageWindow::SpanMonth:
        return (time.date().year() - baseStart.date().year()) * 12 +
               (time.date().month() - baseStart.date().month());
    }
    return 0;
}

QDateTime PageStart(TrendPageWindow::Span span, const QDateTime &baseStart, int iPage)
{
    switch (span) {
    case TrendPageWindow::SpanHour:
        return baseStart.addSecs(static_cast<qint64>(iPage) * kSecondsPerHour);
    case TrendPageWindow::SpanDay:
        return baseStart.addDays(iPage);
    case TrendPageWindow::SpanWeek:
        return baseStart.addDays(static_cast<qint64>(iPage) * kDaysPerWeek);
    case TrendPageWindow::SpanMonth:
        return baseStart.addMonths(iPage);
    }
    return baseStart;
}

int DaysInWindowMonth(const QDateTime &start)
{
    return start.date().daysInMonth();
}

int TickCount(TrendPageWindow::Span span, const QDateTime &start)
{
    switch (span) {
    case TrendPageWindow::SpanHour:
        return 12;
    case TrendPageWindow::SpanDay:
        return 24;
    case TrendPageWindow::SpanWeek:
        return kDaysPerWeek;
    case TrendPageWindow::SpanMonth:
        return DaysInWindowMonth(start);
    }
    return 0;
}

double TickStep(TrendPageWindow::Span span)
{
    return span == TrendPageWindow::SpanHour  ? 300.0
           : span == TrendPageWindow::SpanDay ? double(kSecondsPerHour)
                                              : double(kSecondsPerDay);
}

QString WeekdayLabel(int iIndex)
{
    static const char *const kNames[kDaysPerWeek] = {"Mon", "Tues", "Wed", "Thur",
                                                     "Fri", "Sat",  "Sun"};
    return QCoreApplication::translate("TrendGrapView", kNames[iIndex]);
}

QString TickLabel(TrendPageWindow::Span span, int iIndex)
{
    switch (span) {
    case TrendPageWindow::SpanHour:
        return QString::number(iIndex * 5);
    case TrendPageWindow::SpanDay:
        // The day starts at 08:00; midnight is shown as 24.
        return QString::number((kDayStartHour + iIndex - 1) % 24 + 1);
    case TrendPageWindow::SpanWeek:
        return WeekdayLabel(iIndex);
    case TrendPageWindow::SpanMonth:
        return QString::number(iIndex + 1);
    }
    return QString();
}

qint64 WallMs(const QDateTime &time)
{
    return time.date().toJulianDay() * 86400000 + time.time().msecsSinceStartOfDay();
}

} // namespace

// Converting a local time to the epoch asks the C library for the zone on
// every call, so while the window's two ends share one UTC offset the keys
// come from the wall clock instead, which then gives the same seconds.
TrendPageWindow::Keys::Keys(const QDateTime &start, const QDateTime &end)
    : m_start(start), m_end(end), m_iStartWallMs(WallMs(start)),
      m_bWallClock(start.offsetFromUtc() == end.offsetFromUtc())
{
}

double TrendPageWindow::Keys::Key(const QDateTime &time) const
{
    if (m_bWallClock && time.timeSpec() == m_start.timeSpec()) {
        return static_cast<double>((WallMs(time) - m_iStartWallMs) / 1000);
    }
    return static_cast<double>(m_start.secsTo(time));
}

QDateTime TrendPageWindow::ReferenceTime(const STU_DB_NIBP_DATA_LIST *pNIBP,
                                         const STU_DB_SPO2_DATA_LIST *pSPO2,
                                         const STU_DB_TEMP_DATA_LIST *pTEMP, const QDateTime &now)
{
    QDateTime reference = pNIBP != nullptr ? pNIBP->MeasureTime : now;
    TakeEarlier(pSPO2, reference);
    TakeEarlier(pTEMP, reference);
    return reference;
}

QDateTime TrendPageWindow::LatestTime(const STU_DB_NIBP_DATA_LIST *pNIBP,
                                      const STU_DB_SPO2_DATA_LIST *pSPO2,
                                      const STU_DB_TEMP_DATA_LIST *pTEMP)
{
    QDateTime latest;
    TakeLater(pNIBP, latest);
    TakeLater(pSPO2, latest);
    TakeLater(pTEMP, latest);
    return latest;
}

void TrendPageWindow::BaseTimeRange(Span span, const QDateTime &reference, QDateTime &start,
                                    QDateTime &end)
{
    if (span == SpanHour) {
        start =
            QDateTime(reference.date(), QTime(reference.time().hour(), 0), reference.timeSpec());
        end = start.addSecs(kSecondsPerHour);
        return;
    }
    if (reference.time().hour() >= kDayStartHour) {
        start = AtDayStart(reference.date(), reference);
        end = start.addDays(1);
    } else {
        end = AtDayStart(reference.date(), reference);
        start = end.addDays(-1);
    }
    if (span == SpanWeek) {
        start = start.addDays(1 - start.date().dayOfWeek());
        end = start.addDays(kDaysPerWeek);
    } else if (span == SpanMonth) {
        start = AtDayStart(QDate(start.date().year(), start.date().month(), 1), start);
        end = start.addMonths(1);
    }
}

void TrendPageWindow::PageTimeRange(Span span, const QDateTime &baseStart, const QDateTime &baseEnd,
                                    int iPage, QDateTime &start, QDateTime &end)
{
    start = baseStart;
    end = baseEnd;
    if (iPage <= 0) {
        return;
    }
    start = PageStart(span, baseStart, iPage);
    end = PageStart(span, baseEnd, iPage);
}

int TrendPageWindow::PageIndexOf(Span span, const QDateTime &baseStart, const QDateTime &time)
{
    int iPage = std::max(0, EstimatedPage(span, baseStart, time));
    while (iPage > 0 && time < PageStart(span, baseStart, iPage)) {
        --iPage;
    }
    while (PageStart(span, baseStart, iPage + 1) <= time) {
        ++iPage;
    }
    return iPage;
}

int TrendPageWindow::MaxPageIndex(Span span, const QDateTime &baseStart,
                                  const STU_DB_NIBP_DATA_LIST *pNIBP,
                                  const STU_DB_SPO2_DATA_LIST *pSPO2,
                                  const STU_DB_TEMP_DATA_LIST *pTEMP)
{
    int iMax = 0;
    if (const auto *pLast = LastRecord(pNIBP)) {
        iMax = std::max(iMax, PageIndexOf(span, baseStart, pLast->MeasureTime));
    }
    if (const auto *pLast = LastRecord(pSPO2)) {
        iMax = std::max(iMax, PageIndexOf(span, baseStart, pLast->MeasureTime));
    }
    if (const auto *pLast = LastRecord(pTEMP)) {
        iMax = std::max(iMax, PageIndexOf(span, baseStart, pLast->MeasureTime));
    }
    return iMax;
}

double TrendPageWindow::AxisLength(Span span, const QDateTime &start)
{
    double nominal = 0.0;
    switch (span) {
    case SpanHour:
        nominal = kSecondsPerHour;
        break;
    case SpanDay:
        nominal = kSecondsPerDay;
        break;
    case SpanWeek:
        nominal = double(kDaysPerWeek) * kSecondsPerDay;
        break;
    case SpanMonth:
        nominal = double(DaysInWindowMonth(start)) * kSecondsPerDay;
        break;
    }
    // A window over the clocks being put back lasts an hour longer; its last hour is drawn too.
    return std::max(nominal, double(start.secsTo(PageStart(span, start, 1))));
}

QVector<double> TrendPageWindow::TickPositions(Span span, const QDateTime &start)
{
    QVector<double> ticks;
    const int iCount = TickCount(span, start);
    ticks.reserve(iCount);
    for (int i = 0; i < iCount; ++i) {
        ticks.append(i * TickStep(span));
    }
    return ticks;
}

QVector<QString> TrendPageWindow::TickLabels(Span span, const QDateTime &start)
{
    QVector<QString> labels;
    const int iCount = TickCount(span, start);
    labels.reserve(iCount);
    for (int i = 0; i < iCount; ++i) {
        labels.append(TickLabel(span, i));
    }
    return labels;
}

QString TrendPageWindow::RangeText(Span span, const QDateTime &start, const QDateTime &end)
{
    // Fixed English names, like the week tick labels, whatever the machine's language.
    const QLocale names = QLocale::c();
    const QString day = QStringLiteral("ddd d MMM yyyy");
    const QString dash = QStringLiteral(" \u2013 ");
    switch (span) {
    case SpanHour:
        return names.toString(start, day + QStringLiteral(" hh:mm")) + dash +
               names.toString(end.time(), QStringLiteral("hh:mm"));
    case SpanDay:
        return names.toString(start.date(), day);
    case SpanWeek:
    case SpanMonth:
        break;
    }
    return names.toString(start.date(), day) + dash + names.toString(end.date().addDays(-1), day);
}

#include "StatusBar.h"

#include <QLabel>
#include <QLocale>
#include <QTimer>

namespace {

constexpr int kNoteMs = 5000;

// "1 new record", "8,100 new records".
QString Counted(uint count, const QString &one, const QString &many)
{
    return count == 1 ? one : many.arg(QLocale(QLocale::English).toString(count));
}

} // namespace

StatusBar::StatusBar(QLabel *pLabel)
    : QObject(pLabel), m_pLabel(pLabel), m_pNoteTimer(new QTimer(this))
{
    m_pNoteTimer->setSingleShot(true);
    m_pNoteTimer->setInterval(kNoteMs);
    connect(m_pNoteTimer, &QTimer::timeout, this, &StatusBar::ShowStanding);
    MonitorDisconnected();
}

QString StatusBar::ImportSummary(uint iNewPatients, uint iNewRecords, uint iSkippedRecords,
                                 uint iPatientsNotStored, uint iRecordsNotStored)
{
    const QString brought =
        tr("Import finished: %1, %2, %3")
            .arg(Counted(iNewPatients, tr("1 new patient"), tr("%1 new patients")),
                 Counted(iNewRecords, tr("1 new record"), tr("%1 new records")),
                 tr("%1 already stored").arg(QLocale(QLocale::English).toString(iSkippedRecords)));
    if (iPatientsNotStored == 0 && iRecordsNotStored == 0)
        return brought + tr("; nothing failed");
    return brought + tr("; not stored: %1, %2")
                         .arg(Counted(iPatientsNotStored, tr("1 patient"), tr("%1 patients")),
                              Counted(iRecordsNotStored, tr("1 record"), tr("%1 records")));
}

void StatusBar::MonitorConnected(const QString &strPortPath)
{
    m_monitor = strPortPath.isEmpty() ? tr("Monitor connected")
                                      : tr("Monitor connected on %1").arg(strPortPath);
    ShowStanding();
}

void StatusBar::MonitorDisconnected()
{
    m_monitor = tr("No monitor connected");
    ShowStanding();
}

void StatusBar::ShowProgress(const QString &strText)
{
    m_progress = strText;
    if (!strText.isEmpty())
        m_summary.clear(); // a new run: the last one's summary is old news
    ShowStanding();
}

void StatusBar::ShowSummary(uint iNewPatients, uint iNewRecords, uint iSkippedRecords,
                            uint iPatientsNotStored, uint iRecordsNotStored)
{
    m_progress.clear();
    m_summary = ImportSummary(iNewPatients, iNewRecords, iSkippedRecords, iPatientsNotStored,
                              iRecordsNotStored);
    ShowStanding();
}

void StatusBar::ShowNote(const QString &strText)
{
    m_pLabel->setText(strText);
    m_pNoteTimer->start();
}

// The progress while an import runs; otherwise the last summary, if any, and
// whether a monitor is connected.
void StatusBar::ShowStanding()
{
    m_pNoteTimer->stop();
    if (!m_progress.isEmpty())
        m_pLabel->setText(m_progress);
    else if (!m_summary.isEmpty())
        m_pLabel->setText(m_summary + QStringLiteral(" \u2014 ") + m_monitor);
    else
        m_pLabel->setText(m_monitor);
}

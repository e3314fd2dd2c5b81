#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QTimer;

// The line under the tabs: whether a monitor is connected and where, the
// progress of an import, and what the last import brought. A short note
// (such as "Settings saved") stands for a few seconds, then the line goes back.
class StatusBar : public QObject
{
    Q_OBJECT

public:
    explicit StatusBar(QLabel *pLabel);

    // What an import brought, in words: "Import finished: 2 new patients, ...".
    static QString ImportSummary(uint iNewPatients, uint iNewRecords, uint iSkippedRecords,
                                 uint iPatientsNotStored, uint iRecordsNotStored);
    const QString &LastSummary() const { return m_summary; }

public slots:
    void MonitorConnected(const QString &strPortPath);
    void MonitorDisconnected();
    // Empty when no import is running.
    void ShowProgress(const QString &strText);
    void ShowSummary(uint iNewPatients, uint iNewRecords, uint iSkippedRecords,
                     uint iPatientsNotStored, uint iRecordsNotStored);
    void ShowNote(const QString &strText);

private:
    void ShowStanding();

    QLabel *m_pLabel;
    QTimer *m_pNoteTimer;
    QString m_monitor;
    QString m_summary;
    QString m_progress;
};

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// The words the status bar shows while an import runs. A fast import moves
// on hundreds of times a second, so the text changes at most every
// kMinIntervalMs; the latest step always follows, and the end of a run
// empties the text at once.
class ImportProgress : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMinIntervalMs = 250;

    explicit ImportProgress(QObject *parent = nullptr);

    void ReadingPatientList();
    // iNumber counts from 1 over every entry of the monitor's list, its own first.
    void Patient(int iNumber, int iCount, unsigned short cmd);
    void Storing();
    void Clear();

signals:
    void TextChanged(const QString &strText);

private:
    enum class Stage
    {
        None,
        PatientList,
        Patient,
        Storing,
    };
    struct Step
    {
        Stage stage = Stage::None;
        int iNumber = 0;
        int iCount = 0;
        unsigned short cmd = 0;
    };

    void Show(const Step &step);
    void ShowPending();
    QString Text(const Step &step) const;

    QString m_strShown;
    Step m_pending;
    QElapsedTimer m_lastShown;
    QTimer m_trailing;
};

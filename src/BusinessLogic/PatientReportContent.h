#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class PatientData;
struct STU_DB_PATIENT_LIST;

// One kind of records (NIBP, SpO2 or temperature) of a report's period: the
// rows as the Table page shows them and the summary figures of each value.
struct PatientReportSection
{
    QString strTitle;
    // The Table page's column headers, "Time" first.
    QStringList headers;
    // Cell texts, one list per record, oldest first.
    QList<QStringList> rows;
    QDateTime firstTime;
    QDateTime lastTime;
    // One text per value column (the headers without "Time").
    QStringList minimum;
    QStringList maximum;
    QStringList mean;
    QStringList lastValue;
};

// What a printed patient report says, as plain texts: the patient's details
// as the detail form shows them, the period, and per kind of record the rows
// and figures of that period. Read once from the patient model; the model may
// change afterwards without touching it.
class PatientReportContent
{
    Q_DECLARE_TR_FUNCTIONS(PatientReportContent)

public:
    // from and to bound the period (from included, to excluded, as the Trend
    // page's windows); invalid times leave that side open.
    PatientReportContent(const PatientData &data, const QDateTime &from, const QDateTime &to);

    bool HasPatient() const { return m_bHasPatient; }
    QString PatientName() const { return m_strPatientName; }
    // Label and value pairs in the detail form's order.
    const QList<QPair<QString, QString>> &Details() const { return m_details; }
    QString PeriodText() const;
    // NIBP, SpO2 and temperature, each also when it has no records.
    const QList<PatientReportSection> &Sections() const { return m_sections; }
    // No record of any kind in the period.
    bool IsEmpty() const;

    static QString TimeText(const QDateTime &time);

private:
    void ReadDetails(const STU_DB_PATIENT_LIST &patient);
    bool InPeriod(const QDateTime &time) const;
    template <typename Record>
    PatientReportSection Collect(const Record *pChain, int iMeanDecimals) const;

    QDateTime m_from;
    QDateTime m_to;
    bool m_bHasPatient = false;
    QString m_strPatientName;
    QList<QPair<QString, QString>> m_details;
    QList<PatientReportSection> m_sections;
};

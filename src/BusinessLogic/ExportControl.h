#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class PatientData;
struct STU_DB_PATIENT_LIST;

// Writes the current patient of the patient model into a new folder below the
// configured export directory, as four comma-separated files: the details and
// the NIBP, SpO2 and temperature records. Reads only the model, never the
// database. GUI thread.
class ExportControl : public QObject
{
    Q_OBJECT

public:
    // The process-wide exporter over PatientData::GetInstance(), created on
    // first use.
    static ExportControl *GetInstance();

    // An exporter reading the given model (not owned).
    explicit ExportControl(PatientData *pPatientData, QObject *parent = nullptr);

    // Writes the four files and puts them into the export folder only when
    // all four are complete; returns the folder in the platform's notation.
    // *pbSucceeded tells whether it holds them now; after a failure nothing
    // of this export is left behind.
    QString ExportPatientData(bool *pbSucceeded = nullptr);

    // The export folder for the current patient (its name shortened to what
    // a file system takes); empty when there is no current patient.
    QString ExportFolderPath() const;

    // Each writes one file into strFolder, replacing an older one; false when
    // the file could not be opened or written completely.
    bool ExportPatientInfo(const QString &strFolder);
    bool ExportNIBPData(const QString &strFolder);
    bool ExportSPO2Data(const QString &strFolder);
    bool ExportTEMPData(const QString &strFolder);

    // The clock that stamps the folder name (local time); tests set their own.
    void SetClock(std::function<QDateTime()> clock);

    // A value as one CSV field: enclosed in double quotes, with the quotes
    // inside doubled, when it holds a comma, a double quote or a line break;
    // otherwise unchanged.
    static QString CsvField(const QString &strValue);
    // A patient field made safe as part of a folder name.
    static QString FolderNamePart(const QString &strValue);

private:
    QString ExportFolderName(const STU_DB_PATIENT_LIST &patient) const;
    static bool WriteFile(const QString &strFolder, const QString &strFileName,
                          const QString &strContent);
    QString PatientInfoText() const;
    QString NIBPDataText() const;
    QString SPO2DataText() const;
    QString TEMPDataText() const;

    PatientData *m_pPatientData;
    std::function<QDateTime()> m_clock;
};

#include "ExportControl.h"

#include "DatabaseRecords.h"
#include "MLog.h"
#include "MSettings.h"
#include "PatientCodeWords.h"
#include "PatientData.h"
#include "StagedExportFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringView>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

// Floats as a text stream writes them by default: general form, six digits.
QString FloatText(float fValue)
{
    return QString::number(static_cast<double>(fValue), 'g', 6);
}

// File systems take names of up to 255 bytes. A longer folder name keeps its
// beginning, cut between two characters, then a short hash of the whole name,
// so that patients who differ only further on still get folders of their own,
// and the time stamp.
QString FitFolderName(const QString &strHead, const QString &strStamp)
{
    constexpr int kMaxNameBytes = 255;
    const QString strFull = strHead + strStamp;
    const QByteArray full = strFull.toUtf8();
    if (full.size() <= kMaxNameBytes)
        return strFull;
    const QString strTail =
        QString::fromLatin1(
            QCryptographicHash::hash(full, QCryptographicHash::Sha1).toHex().left(8)) +
        QLatin1Char('_') + strStamp;
    qsizetype budget = kMaxNameBytes - strTail.toUtf8().size();
    QString strCut;
    for (qsizetype i = 0; i < strHead.size();) {
        const qsizetype units = strHead.at(i).isHighSurrogate() && i + 1 < strHead.size() ? 2 : 1;
        const QString strChar = strHead.mid(i, units);
        budget -= strChar.toUtf8().size();
        if (budget < 0)
            break;
        strCut += strChar;
        i += units;
    }
    return strCut + strTail;
}

void AppendInfoLine(QString &strText, const QString &strLabel, const QString &strValue)
{
    strText += strLabel;
    strText += ExportControl::CsvField(strValue);
    strText += QLatin1Char('\n');
}

} // namespace

ExportControl *ExportControl::GetInstance()
{
    static ExportControl *s_pInstance = new ExportControl(PatientData::GetInstance());
    return s_pInstance;
}

ExportControl::ExportControl(PatientData *pPatientData, QObject *parent)
    : QObject(parent), m_pPatientData(pPatientData), m_clock(&QDateTime::currentDateTime)
{
}

QString ExportControl::ExportPatientData(bool *pbSucceeded)
{
    const QString strFolder = ExportFolderPath();
    bool bSucceeded = false;
    // Without a patient there is no folder; writing would land beside the
    // export directory's parent, so nothing is written at all.
    if (!strFolder.isEmpty()) {
        StagedExportFolder staged(strFolder);
        const QString strWork = staged.Path();
        bSucceeded = staged.IsValid() && ExportPatientInfo(strWork) && ExportNIBPData(strWork) &&
                     ExportSPO2Data(strWork) && ExportTEMPData(strWork) && staged.Publish();
    }
    if (!bSucceeded)
        MLOG(QStringLiteral("Export to '%1' failed").arg(strFolder));
    if (pbSucceeded)
        *pbSucceeded = bSucceeded;
    return QDir::toNativeSeparators(strFolder);
}

QString ExportControl::ExportFolderPath() const
{
    const STU_DB_PATIENT_LIST *pPatient = m_pPatientData->GetCurrentPatient();
    if (!pPatient)
        return QString();
    // Without a chosen folder the export would land in the current directory.
    const QString strDirectory = MSettings::GetInstance()->GetExportFilePath();
    const QDir exportDir(strDirectory.isEmpty() ? MSettings::DefaultExportFilePath()
                                                : strDirectory);
    return exportDir.filePath(ExportFolderName(*pPatient));
}

bool ExportControl::ExportPatientInfo(const QString &strFolder)
{
    return WriteFile(strFolder, QStringLiteral("PatientInfo.csv"), PatientInfoText());
}

bool ExportControl::ExportNIBPData(const QString &strFolder)
{
    return WriteFile(strFolder, QStringLiteral("NIBPData.csv"), NIBPDataText());
}

bool ExportControl::ExportSPO2Data(const QString &strFolder)
{
    return WriteFile(strFolder, QStringLiteral("SPO2Data.csv"), SPO2DataText());
}

bool ExportControl::ExportTEMPData(const QString &strFolder)
{
    return WriteFile(strFolder, QStringLiteral("TempData.csv"), TEMPDataText());
}

void ExportControl::SetClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
}

QString ExportControl::CsvField(const QString &strValue)
{
    const bool bNeedsQuotes =
        strValue.contains(QLatin1Char(',')) || strValue.contains(QLatin1Char('"')) ||
        strValue.contains(QLatin1Char('\n')) || strValue.contains(QLatin1Char('\r'));
    if (!bNeedsQuotes)
        return strValue;
    QString strQuoted = strValue;
    strQuoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + strQuoted + QLatin1Char('"');
}

QString ExportControl::FolderNamePart(const QString &strValue)
{
    // A part of its own must never name the folder itself or its parent.
    if (strValue == QLatin1String(".") || strValue == QLatin1String(".."))
        return QString(strValue.size(), QLatin1Char('_'));
    static const QStringView kForbidden = u"/\\:*?\"<>|";
    QString strSafe = strValue;
    for (QChar &ch : strSafe) {
        if (kForbidden.contains(ch) || ch.category() == QChar::Other_Control)
            ch = QLatin1Char('_');
    }
    return strSafe;
}

QString ExportControl::ExportFolderName(const STU_DB_PATIENT_LIST &patient) const
{
    const MSettings *pSettings = MSettings::GetInstance();
    const QChar cSep = QLatin1Char('_');
    QString strName = FolderNamePart(GetRecordText(patient.DeviceSN)) + cSep +
                      QStringLiteral("%1").arg(patient.IdInDevice) + cSep +
                      FolderNamePart(GetRecordText(patient.Name)) + cSep;
    if (pSettings->IsPatientKeyIdentifyCode())
        strName += FolderNamePart(GetRecordText(patient.IdentityCode)) + cSep;
    if (pSettings->IsPatientKeySocietyCode())
        strName += FolderNamePart(GetRecordText(patient.SocietyCode)) + cSep;
    return FitFolderName(strName, m_clock().toString(QStringLiteral("yyyyMMddhhmmss")));
}

bool ExportControl::WriteFile(const QString &strFolder, const QString &strFileName,
                              const QString &strContent)
{
    QFile file(QDir(strFolder).filePath(strFileName));
    if (file.exists())
        file.remove();
    if (!file.open(QIODevice::WriteOnly)) {
        MLOG(QStringLiteral("Cannot open '%1': %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    const QByteArray bytes = strContent.toUtf8();
    bool bWritten = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    bWritten = bWritten && file.error() == QFileDevice::NoError;
    if (!bWritten)
        MLOG(QStringLiteral("Cannot write '%1': %2").arg(file.fileName(), file.errorString()));
    return bWritten;
}

QString ExportControl::PatientInfoText() const
{
    const STU_DB_PATIENT_LIST *p = m_pPatientData->GetCurrentPatient();
    if (!p)
        return QString();
    QString strText;
    AppendInfoLine(strText, tr("Device SN,"), GetRecordText(p->DeviceSN));
    AppendInfoLine(strText, tr("ID,"), PatientCodeWords::IdInDevice(p->IdInDevice));
    AppendInfoLine(strText, tr("Name,"), GetRecordText(p->Name));
    AppendInfoLine(strText, tr("Gender,"), PatientCodeWords::Gender(p->Gender));
    AppendInfoLine(strText, tr("Height(cm),"), FloatText(p->Height));
    AppendInfoLine(strText, tr("Weight(kg),"), FloatText(p->Weight));
    AppendInfoLine(strText, tr("Mobile,"), GetRecordText(p->Mobile));
    AppendInfoLine(strText, tr("Doctor,"), GetRecordText(p->Doctor));
    AppendInfoLine(strText, tr("Identity Type,"), PatientCodeWords::IdentityType(p->IdentityType));
    AppendInfoLine(strText, tr("Identity Code,"), GetRecordText(p->IdentityCode));
    AppendInfoLine(strText, tr("Society Code,"), GetRecordText(p->SocietyCode));
    AppendInfoLine(strText, tr("Patient Type,"), PatientCodeWords::PatientType(p->PatientType));
    AppendInfoLine(strText, tr("Age,"), QString::number(p->Age));
    AppendInfoLine(strText, tr("Address,"), GetRecordText(p->Address));
    return strText;
}

QString ExportControl::NIBPDataText() const
{
    QString strText = tr("Time,") + tr("Sys,") + tr("Dia,") + tr("Mean,") + tr("PR") + '\n';
    for (const STU_DB_NIBP_DATA_LIST *p = m_pPatientData->GetNIBPDataList(); p; p = p->pNext) {
        strText += QStringLiteral("%1,%2,%3,%4,%5\n")
                       .arg(p->MeasureTime.toString(kTimeFormat))
                       .arg(p->SysValue)
                       .arg(p->DiaValue)
                       .arg(p->MeanValue)
                       .arg(p->PrValue);
    }
    return strText;
}

QString ExportControl::SPO2DataText() const
{
    QString strText = tr("Time,") + tr("SPO2,") + tr("PR") + '\n';
    for (const STU_DB_SPO2_DATA_LIST *p = m_pPatientData->GetSPO2DataList(); p; p = p->pNext) {
        strText += QStringLiteral("%1,%2,%3\n")
                       .arg(p->MeasureTime.toString(kTimeFormat))
                       .arg(p->SPO2Value)
                       .arg(p->PrValue);
    }
    return strText;
}

QString ExportControl::TEMPDataText() const
{
    QString strText = tr("Time,") + tr("Temp") + '\n';
    for (const STU_DB_TEMP_DATA_LIST *p = m_pPatientData->GetTEMPDataList(); p; p = p->pNext) {
        strText += QStringLiteral("%1,%2\n").arg(p->MeasureTime.toString(kTimeFormat),
                                                 FloatText(p->TempValue));
    }
    return strText;
}

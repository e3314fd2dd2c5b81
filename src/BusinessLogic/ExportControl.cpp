#include "ExportControl.h"

#include "PatientData.h"

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
    if (pbSucceeded)
        *pbSucceeded = false;
    return QString();
}

QString ExportControl::CreateExportFolder()
{
    return QString();
}
bool ExportControl::ExportPatientInfo(const QString &)
{
    return false;
}
bool ExportControl::ExportNIBPData(const QString &)
{
    return false;
}
bool ExportControl::ExportSPO2Data(const QString &)
{
    return false;
}
bool ExportControl::ExportTEMPData(const QString &)
{
    return false;
}
void ExportControl::SetClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
}
QString ExportControl::CsvField(const QString &strValue)
{
    return strValue;
}
QString ExportControl::FolderNamePart(const QString &strValue)
{
    return strValue;
}

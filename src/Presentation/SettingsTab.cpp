#include "SettingsTab.h"

#include "MSettings.h"
#include "Ui_PCViewer.h"
#include "UserMessages.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

void SettingsTab::Load()
{
    const MSettings *settings = MSettings::GetInstance();
    ui.checkBox_DeviceSN->setChecked(settings->IsPatientKeyDeviceSN());
    ui.checkBox_ID->setChecked(settings->IsPatientKeyPatientID());
    ui.checkBox_Name->setChecked(settings->IsPatientKeyPatientName());
    ui.checkBox_IdentityCode->setChecked(settings->IsPatientKeyIdentifyCode());
    ui.checkBox_SocietyCode->setChecked(settings->IsPatientKeySocietyCode());
    const QString exportPath = settings->GetExportFilePath();
    if (!QDir(exportPath).exists())
        QDir().mkdir(exportPath); // one level only; a failure shows at the export
    ui.lineEdit_Export_Path->setText(exportPath);
}

void SettingsTab::Browse()
{
    const QString directory = QFileDialog::getExistingDirectory(
        m_pWindow, tr("Select export file(s) path"), MSettings::GetInstance()->GetExportFilePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!directory.isEmpty())
        ui.lineEdit_Export_Path->setText(directory);
}

bool SettingsTab::Save()
{
    if (ui.lineEdit_Export_Path->text().isEmpty()) {
        m_messages.SettingsPathEmpty();
        return false;
    }
    MSettings *settings = MSettings::GetInstance();
    settings->SetPatientKeyDeviceSN(ui.checkBox_DeviceSN->isChecked());
    settings->SetPatientKeyPatientID(ui.checkBox_ID->isChecked());
    settings->SetPatientKeyPatientName(ui.checkBox_Name->isChecked());
    settings->SetPatientKeyIdentifyCode(ui.checkBox_IdentityCode->isChecked());
    settings->SetPatientKeySocietyCode(ui.checkBox_SocietyCode->isChecked());
    settings->SetExportFilePath(ui.lineEdit_Export_Path->text());
    settings->SaveSettings();
    return true;
}

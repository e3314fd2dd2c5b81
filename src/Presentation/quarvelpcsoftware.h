#pragma once

#include "DatabaseRecords.h"
#include "Ui_PCViewer.h"
#include "UserMessages.h"

#include <QDialog>
#include <QUuid>

#include <memory>

class QStackedWidget;
class MergeFlow;
class PatientDetailInfoView;
class PatientListPanel;
class PatientViewStack;
class SettingsTab;
class StatusBar;
class WindowChrome;

// The program's single frameless main window: the patient list, the commands
// on it, the view stack and the Settings tab. It asks for database work only
// through GetDataFromDatabaseRequest and keeps the list in step with the
// answers of the database service.
class QuarvelPCSoftware : public QDialog
{
    Q_OBJECT

public:
    explicit QuarvelPCSoftware(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~QuarvelPCSoftware() override;

    QStackedWidget *ViewStack() const;
    const Ui_PCViewer &Form() const { return ui; }
    PatientListPanel *PatientList() const { return m_pPatientList; }

signals:
    // Every database work item of the window. wParam and lParam carry the
    // work's objects (created with new); the service owns them from the emit on.
    void GetDataFromDatabaseRequest(uint iWorkType, quintptr wParam, quintptr lParam);

public slots:
    void Help();
    void Info();
    void MinMainDialog();
    void MaxMainDialog();
    void CloseMainDialog();
    void OnPatientInfoButtonClicked();
    void OnTrendTableButtonClicked();
    void OnTrendGrapButtonClicked();
    void NewDeviceConnected();
    void DeviceDisconnected();
    void ImportDataFinished();
    void ImportDataFailed(uint iPatientsNotStored, uint iRecordsNotStored);
    void ImportDataStalled();
    void DeviceOpenFailed(int iError, const QString &strPort);
    void ImportButtonClicked();
    void DeleteButtonClicked();
    void ExportButtonClicked();
    void PrintButtonClicked();
    void SettingBrowseButtonClicked();
    void SettingSaveButtonClicked();
    // Each slot below owns the objects it receives.
    void OnDatabaseGetAllPatientBriefSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnDatabaseGetOnePatientDetailSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnDatabaseUpdateOnePatientDetailInfoSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnDatabaseDeletePatientSucc(QUuid *pGUID);
    void OnDatabaseInsertNewPatientSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnPatientListSelectRowChanged();
    void OnMergePatientDataSucc(QUuid *puuidNew, QUuid *puuidOld);
    void OnDatabaseGetOnePatientBriefSucc(STU_DB_PATIENT_LIST *pPatientList);
    void OnImportPatientDataFinished(QUuid *pGUID);
    void OnDatabaseProcessResult(uint iWorkType, uint iErrorCode);
    void OnDatabaseOpenResult(uint iErrorCode, const QString &strReason);

protected:
    // The program ends with this window: what is queued for the database is
    // stored first, while the window says so.
    void done(int r) override;
    // Escape does nothing here: the window is a dialog, and a dialog closes on
    // Escape, which would end the program and lose whatever was being typed.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ConnectImportControl();
    void ConnectCommands();
    void ConnectDatabaseService();
    void ShowPage(int page);

    Ui_PCViewer ui;
    UserMessages m_messages{this};
    WindowChrome *m_pChrome = nullptr;
    StatusBar *m_pStatusBar = nullptr;
    PatientListPanel *m_pPatientList = nullptr;
    PatientViewStack *m_pViews = nullptr;
    PatientDetailInfoView *m_pPatientDetailInfoView = nullptr;
    MergeFlow *m_pMergeFlow = nullptr;
    std::unique_ptr<SettingsTab> m_pSettingsTab;
};

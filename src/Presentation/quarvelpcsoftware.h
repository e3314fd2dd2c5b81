#pragma once

#include "DatabaseRecords.h"
#include "Ui_PCViewer.h"

#include <QDialog>
#include <QRect>
#include <QUuid>

class QStackedWidget;
class QTableWidgetItem;
class PatientDetailInfoView;
class TrendTableView;
class TrendGrapView;

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

    // The 1024 x 768 window centred in an available screen area; on a smaller
    // area the window keeps to its top left corner and its height.
    static QRect RestoredGeometry(const QRect &available);
    // The rounded outline the window shows itself in (corner radius 5).
    static QRegion WindowMask(int width, int height);

    QStackedWidget *ViewStack() const { return m_pStackedWidget; }
    const Ui_PCViewer &Form() const { return ui; }

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

protected:
    // Escape does nothing here: the window is a dialog, and a dialog closes on
    // Escape, which would end the program and lose whatever was being typed.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ApplyWindowMask();
    void SetUpPatientListTable();
    void CreateViews();
    void AddViewPage(QWidget *view);
    void LoadSettingsTab();
    void LayOutDesktopTab();
    void ConnectImportControl();
    void ConnectCommands();
    void ConnectDatabaseService();
    void ShowPage(int page);
    void ShowInformation(const QString &title, const QString &text);

    void InsertPatientRow(const STU_DB_PATIENT_LIST &record);
    void FillPatientRow(int row, const STU_DB_PATIENT_LIST &record);
    void SetPatientRowReadState(const QUuid &uuid, bool read);
    int FindPatientRow(const QUuid &uuid) const;
    QUuid RowPatientId(int row) const;
    QList<int> SelectedRows() const;
    void RepaintPatientList();

    Ui_PCViewer ui;
    QStackedWidget *m_pStackedWidget = nullptr;
    PatientDetailInfoView *m_pPatientDetailInfoView = nullptr;
    TrendTableView *m_pTrendTableView = nullptr;
    TrendGrapView *m_pTrendGrapView = nullptr;
    // True while the next MaxMainDialog() fills the screen's available area.
    bool m_bMaximise = true;
};

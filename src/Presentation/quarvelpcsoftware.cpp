#include "quarvelpcsoftware.h"

#include "AboutBox.h"
#include "CommunicationProcessControl.h"
#include "DesktopTabLayout.h"
#include "ExportControl.h"
#include "MDatabaseService.h"
#include "MLog.h"
#include "MergeFlow.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "PatientListModel.h"
#include "PatientListPanel.h"
#include "PatientReportPreview.h"
#include "PatientViewStack.h"
#include "ProgramShutdown.h"
#include "SettingsTab.h"
#include "StatusBar.h"
#include "TrendGrapView.h"
#include "UserManual.h"
#include "WindowChrome.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>

namespace {

// How long an export waits for the records of a patient just chosen.
constexpr int kExportListWaitMs = 5000;

quintptr AsParameter(const void *pointer)
{
    return reinterpret_cast<quintptr>(pointer);
}

STU_DB_PATIENT_LIST *NewPatientKey(const QUuid &uuid)
{
    auto *record = new STU_DB_PATIENT_LIST;
    record->PatientID = uuid;
    return record;
}

} // namespace

QuarvelPCSoftware::QuarvelPCSoftware(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    // The order matters: the views create the model and the service, the
    // service runs on its own thread before anything can send it work, and
    // the first request goes out only once every answer has a receiver.
    RegisterDatabaseMetaTypes();
    ui.setupUi(this);
    m_pChrome = new WindowChrome(this, ui.Header);
    m_pChrome->ApplyMask();
    m_pStatusBar = new StatusBar(ui.StatusBarLabel);
    setWindowFlags(Qt::FramelessWindowHint);
    ui.tabWidget->setCurrentIndex(0);
    m_pPatientList =
        new PatientListPanel(ui.PatientListTable, ui.PatientSearchEdit, ui.PatientCountLabel, this);
    m_pViews = new PatientViewStack(this);
    m_pPatientDetailInfoView = m_pViews->DetailView();
    m_pPatientList->SetLeaveCheck([this] { return m_pPatientDetailInfoView->ConfirmLeave(); });
    m_pMergeFlow = new MergeFlow(m_pPatientDetailInfoView, m_pPatientList, m_messages, this);
    m_pSettingsTab = std::make_unique<SettingsTab>(ui, this, m_messages);
    m_pSettingsTab->Load();
    m_pPatientList->SetNameLabel(LayOutDesktopTab(ui, m_pViews->Stack()));
    ui.ImportButton->setEnabled(false);
    MaxMainDialog();
    // Connected first: the store is opened on the database thread at once.
    connect(MDatabaseService::GetInstance(), &MDatabaseService::OnDatabaseOpenResult, this,
            &QuarvelPCSoftware::OnDatabaseOpenResult, Qt::QueuedConnection);
    MDatabaseService::GetInstance()->Start();
    CommunicationProcessControl::GetInstance()->Initialize();
    ConnectImportControl();
    ConnectCommands();
    ConnectDatabaseService();
    emit GetDataFromDatabaseRequest(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0);
}

QuarvelPCSoftware::~QuarvelPCSoftware() = default;

QStackedWidget *QuarvelPCSoftware::ViewStack() const
{
    return m_pViews->Stack();
}

// ---------------------------------------------------------------- start-up --

void QuarvelPCSoftware::ConnectImportControl()
{
    CommunicationProcessControl *control = CommunicationProcessControl::GetInstance();
    connect(control, &CommunicationProcessControl::NewDeviceConnected, this,
            &QuarvelPCSoftware::NewDeviceConnected);
    connect(control, &CommunicationProcessControl::DeviceDisconnected, this,
            &QuarvelPCSoftware::DeviceDisconnected);
    // Queued: a box's own event loop must never run inside the controller.
    connect(control, &CommunicationProcessControl::ImportDataFinished, this,
            &QuarvelPCSoftware::ImportDataFinished, Qt::QueuedConnection);
    connect(control, &CommunicationProcessControl::OnImportOnePatientDataFinished, this,
            &QuarvelPCSoftware::OnImportPatientDataFinished);
    connect(control, &CommunicationProcessControl::ImportDataFailed, this,
            &QuarvelPCSoftware::ImportDataFailed, Qt::QueuedConnection);
    connect(control, &CommunicationProcessControl::ImportDataStalled, this,
            &QuarvelPCSoftware::ImportDataStalled, Qt::QueuedConnection);
    connect(control, &CommunicationProcessControl::DeviceOpenFailed, this,
            &QuarvelPCSoftware::DeviceOpenFailed, Qt::QueuedConnection);
    connect(control, &CommunicationProcessControl::ImportProgressChanged, m_pStatusBar,
            &StatusBar::ShowProgress);
    // Direct: the counts are in before the queued success box asks for them.
    connect(control, &CommunicationProcessControl::ImportSummaryReady, m_pStatusBar,
            &StatusBar::ShowSummary);
}

void QuarvelPCSoftware::ConnectCommands()
{
    connect(ui.HelpButton, &QPushButton::clicked, this, &QuarvelPCSoftware::Help);
    connect(ui.InfoButton, &QPushButton::clicked, this, &QuarvelPCSoftware::Info);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            &QuarvelPCSoftware::Help);
    connect(ui.MinButton, &QPushButton::clicked, this, &QuarvelPCSoftware::MinMainDialog);
    connect(ui.MaxButton, &QPushButton::clicked, this, &QuarvelPCSoftware::MaxMainDialog);
    connect(ui.CloseButton, &QPushButton::clicked, this, &QuarvelPCSoftware::CloseMainDialog);
    connect(m_pChrome, &WindowChrome::MaximiseRequested, this, &QuarvelPCSoftware::MaxMainDialog);
    connect(ui.PatientInfoToolButton, &QToolButton::clicked, this,
            &QuarvelPCSoftware::OnPatientInfoButtonClicked);
    connect(ui.TableToolButton, &QToolButton::clicked, this,
            &QuarvelPCSoftware::OnTrendTableButtonClicked);
    connect(ui.TrendToolButton, &QToolButton::clicked, this,
            &QuarvelPCSoftware::OnTrendGrapButtonClicked);
    connect(ui.ImportButton, &QPushButton::clicked, this, &QuarvelPCSoftware::ImportButtonClicked);
    connect(ui.DeleteButton, &QPushButton::clicked, this, &QuarvelPCSoftware::DeleteButtonClicked);
    connect(ui.ExportButton, &QPushButton::clicked, this, &QuarvelPCSoftware::ExportButtonClicked);
    connect(ui.PrintButton, &QPushButton::clicked, this, &QuarvelPCSoftware::PrintButtonClicked);
    connect(ui.pushButton_Export_Browse, &QPushButton::clicked, this,
            &QuarvelPCSoftware::SettingBrowseButtonClicked);
    connect(ui.pushButton_Save, &QPushButton::clicked, this,
            &QuarvelPCSoftware::SettingSaveButtonClicked);
    connect(m_pPatientList, &PatientListPanel::CurrentPatientChanged, this,
            &QuarvelPCSoftware::OnPatientListSelectRowChanged);
    connect(m_pPatientList, &PatientListPanel::DeleteRequested, this,
            &QuarvelPCSoftware::DeleteButtonClicked);
    connect(m_pMergeFlow, &MergeFlow::DatabaseWork, this,
            &QuarvelPCSoftware::GetDataFromDatabaseRequest);
}

void QuarvelPCSoftware::ConnectDatabaseService()
{
    MDatabaseService *service = MDatabaseService::GetInstance();
    PatientData *model = PatientData::GetInstance();
    const auto queued = Qt::QueuedConnection;
    connect(this, &QuarvelPCSoftware::GetDataFromDatabaseRequest, service,
            &MDatabaseService::ProcessDatabaseTaskProc, queued);
    connect(service, &MDatabaseService::OnDatabaseGetAllPatientBriefSucc, this,
            &QuarvelPCSoftware::OnDatabaseGetAllPatientBriefSucc, queued);
    connect(service, &MDatabaseService::OnDatabaseGetOnePatientDetailSucc, this,
            &QuarvelPCSoftware::OnDatabaseGetOnePatientDetailSucc, queued);
    connect(service, &MDatabaseService::OnDatabaseUpdateOnePatientDetailInfoSucc, this,
            &QuarvelPCSoftware::OnDatabaseUpdateOnePatientDetailInfoSucc, queued);
    connect(service, &MDatabaseService::OnDatabaseDeletePatientSucc, this,
            &QuarvelPCSoftware::OnDatabaseDeletePatientSucc, queued);
    connect(service, &MDatabaseService::OnDatabaseInsertNewPatientSucc, this,
            &QuarvelPCSoftware::OnDatabaseInsertNewPatientSucc, queued);
    connect(service, &MDatabaseService::OnDatabaseGetNIBPDataListSucc, model,
            &PatientData::OnDatabaseGetNIBPDataListSucc, queued);
    connect(service, &MDatabaseService::OnDatabaseGetSPO2DataListSucc, model,
            &PatientData::OnDatabaseGetSPO2DataListSucc, queued);
    connect(service, &MDatabaseService::OnImportPatientDataFinished, this,
            &QuarvelPCSoftware::OnImportPatientDataFinished, queued);
    connect(service, &MDatabaseService::OnDatabaseGetTEMPDataListSucc, model,
            &PatientData::OnDatabaseGetTEMPDataListSucc, queued);
    connect(service, &MDatabaseService::OnMergePatientDataSucc, this,
            &QuarvelPCSoftware::OnMergePatientDataSucc, queued);
    connect(service, &MDatabaseService::OnDatabaseGetOnePatientBriefSucc, this,
            &QuarvelPCSoftware::OnDatabaseGetOnePatientBriefSucc, queued);
    connect(
        service, &MDatabaseService::OnDatabaseChangedElsewhere, this,
        [this] { emit GetDataFromDatabaseRequest(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0); }, queued);
    // Another workstation changed one patient: his brief record is read again,
    // as after his import, and only his row changes.
    connect(service, &MDatabaseService::OnPatientChangedElsewhere, this,
            &QuarvelPCSoftware::OnImportPatientDataFinished, queued);
    // The merge answer comes whatever the outcome; a failure shows only here.
    connect(service, &MDatabaseService::OnDatabaseProcessResult, this,
            &QuarvelPCSoftware::OnDatabaseProcessResult, queued);
}

// ---------------------------------------------------------- window frame --

void QuarvelPCSoftware::Help()
{
    MLOG("Help");
    UserManual::Show(this);
}

void QuarvelPCSoftware::Info()
{
    MLOG("Info");
    AboutBox::Show(this, CommunicationProcessControl::GetInstance()->ConnectedPortPath());
}

void QuarvelPCSoftware::MinMainDialog()
{
    showMinimized();
}

void QuarvelPCSoftware::MaxMainDialog()
{
    m_pChrome->ToggleMaximised();
}

void QuarvelPCSoftware::CloseMainDialog()
{
    close();
}

void QuarvelPCSoftware::done(int r)
{
    if (!m_pPatientDetailInfoView->ConfirmLeave())
        return;
    ui.StatusBarLabel->setText(tr("Storing the imported records before closing…"));
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ui.StatusBarLabel->repaint();
    ProgramShutdown::Run();
    QGuiApplication::restoreOverrideCursor();
    ui.StatusBarLabel->clear();
    QDialog::done(r);
}

void QuarvelPCSoftware::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Leaving the page on show is confirmed first; refused, its button stays checked.
void QuarvelPCSoftware::ShowPage(int page)
{
    QToolButton *const buttons[] = {ui.PatientInfoToolButton, ui.TableToolButton,
                                    ui.TrendToolButton};
    const int shown = m_pViews->Stack()->currentIndex();
    if (page != shown && !m_pPatientDetailInfoView->ConfirmLeave())
        page = shown;
    buttons[page]->setChecked(true);
    m_pViews->ShowPage(page);
}

void QuarvelPCSoftware::OnPatientInfoButtonClicked()
{
    MLOG("OnPatientInfoButtonClicked");
    ShowPage(0);
}

void QuarvelPCSoftware::OnTrendTableButtonClicked()
{
    MLOG("OnTrendTableButtonClicked");
    ShowPage(1);
}

void QuarvelPCSoftware::OnTrendGrapButtonClicked()
{
    MLOG("OnTrendGrapButtonClicked");
    ShowPage(2);
}

// --------------------------------------------------------------- commands --

void QuarvelPCSoftware::NewDeviceConnected()
{
    ui.ImportButton->setEnabled(true);
    m_pStatusBar->MonitorConnected(CommunicationProcessControl::GetInstance()->ConnectedPortPath());
}

void QuarvelPCSoftware::DeviceDisconnected()
{
    ui.ImportButton->setEnabled(false);
    m_pStatusBar->MonitorDisconnected();
}

void QuarvelPCSoftware::ImportDataFinished()
{
    m_messages.ImportFinished(m_pStatusBar->LastSummary());
}

void QuarvelPCSoftware::ImportDataFailed(uint iPatientsNotStored, uint iRecordsNotStored)
{
    m_messages.ImportFailed(iPatientsNotStored, iRecordsNotStored);
}

void QuarvelPCSoftware::ImportDataStalled()
{
    m_messages.ImportStalled();
}

void QuarvelPCSoftware::DeviceOpenFailed(int iError, const QString &strPort)
{
    m_messages.DeviceOpenFailed(iError, strPort);
}

void QuarvelPCSoftware::ImportButtonClicked()
{
    MLOG("ImportButtonClicked");
    if (!m_pPatientDetailInfoView->ConfirmLeave())
        return;
    CommunicationProcessControl::GetInstance()->StartImportData();
}

void QuarvelPCSoftware::DeleteButtonClicked()
{
    MLOG("DeleteButtonClicked");
    const QList<int> rows = m_pPatientList->SelectedRows();
    const PatientListModel *list = m_pPatientList->Model();
    if (rows.isEmpty() || !m_messages.ConfirmDelete(*list, rows))
        return;
    for (int row : rows)
        emit GetDataFromDatabaseRequest(DB_WORK_DELETE_PATIENT,
                                        AsParameter(new QUuid(list->PatientAt(row))), 0);
}

void QuarvelPCSoftware::ExportButtonClicked()
{
    MLOG("ExportButtonClicked");
    PatientData *model = PatientData::GetInstance();
    if (!model->GetCurrentPatient()) {
        m_messages.ExportRefused();
        return;
    }
    // A patient just chosen may not have all his records in yet; exporting
    // then would write an incomplete record under his name.
    if (!model->WaitForDataLists(kExportListWaitMs)) {
        m_messages.ExportStillLoading();
        return;
    }
    bool bSucceeded = false;
    const QString folder = ExportControl::GetInstance()->ExportPatientData(&bSucceeded);
    m_messages.ExportDone(folder, bSucceeded);
}

void QuarvelPCSoftware::PrintButtonClicked()
{
    if (!PatientData::GetInstance()->GetCurrentPatient()) {
        m_messages.PrintRefused();
        return;
    }
    MLOG("PrintButtonClicked");
    // As for the export: a report of a half-loaded patient would leave records out.
    if (!PatientData::GetInstance()->WaitForDataLists(kExportListWaitMs)) {
        m_messages.PrintStillLoading();
        return;
    }
    // The period of the Trend page as the user left it; never opened, all records.
    TrendGrapView *graphs = m_pViews->GraphView();
    const bool paged = graphs->HasBeenShown();
    if (!paged)
        graphs->DrawWholeRecordSet(); // the graphs then cover what the tables list
    PatientReportPreview::Open(this, paged ? graphs->StartTime() : QDateTime(),
                               paged ? graphs->EndTime() : QDateTime(), graphs->NIBPPlot(),
                               graphs->SPO2Plot(), graphs->TEMPPlot());
    if (!paged)
        graphs->RedrawPage();
}

void QuarvelPCSoftware::SettingBrowseButtonClicked()
{
    MLOG("SettingBrowseButtonClicked");
    m_pSettingsTab->Browse();
}

void QuarvelPCSoftware::SettingSaveButtonClicked()
{
    MLOG("SettingSaveButtonClicked");
    if (m_pSettingsTab->Save())
        m_pStatusBar->ShowNote(tr("Settings saved"));
}

// ------------------------------------------------------- database answers --

void QuarvelPCSoftware::OnDatabaseGetAllPatientBriefSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    m_pPatientList->Fill(pPatientList);
    // A patient deleted at another workstation leaves the views.
    PatientData *model = PatientData::GetInstance();
    const QUuid current =
        model->GetCurrentPatient() ? model->GetCurrentPatient()->PatientID : QUuid();
    if (!current.isNull() && m_pPatientList->Model()->RowOf(current) < 0)
        model->ClearPatientData(&current);
}

void QuarvelPCSoftware::OnDatabaseGetOnePatientDetailSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    if (!pPatientList)
        return;
    std::unique_ptr<STU_DB_PATIENT_LIST> record(pPatientList);
    if (m_pPatientList->CurrentPatient() != record->PatientID)
        return; // the selection has moved on meanwhile
    const QUuid uuid = record->PatientID;
    PatientData::GetInstance()->SetCurrentPatientAndNotify(record.release());
    m_pPatientList->Model()->SetRead(uuid, true);
}

void QuarvelPCSoftware::OnDatabaseUpdateOnePatientDetailInfoSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    if (!pPatientList)
        return;
    std::unique_ptr<STU_DB_PATIENT_LIST> record(pPatientList);
    if (!m_pPatientList->Model()->SetName(record->PatientID, GetRecordText(record->Name)))
        return;
    m_pPatientList->Repaint();
    const bool bConfirmNow = m_pMergeFlow->SearchLookAlikes(*record);
    // The selection may have moved on while the update ran.
    PatientData *model = PatientData::GetInstance();
    const STU_DB_PATIENT_LIST *current = model->GetCurrentPatient();
    if (current && current->PatientID == record->PatientID)
        model->SetCurrentPatient(record.release());
    if (bConfirmNow)
        m_pPatientDetailInfoView->ConfirmSave(); // no chosen key has a value: nobody to compare
}

void QuarvelPCSoftware::OnDatabaseDeletePatientSucc(QUuid *pGUID)
{
    if (!pGUID)
        return;
    std::unique_ptr<QUuid> uuid(pGUID);
    PatientData::GetInstance()->ClearPatientData(uuid.get());
    m_pPatientList->Model()->Remove(*uuid);
    m_pPatientList->Repaint();
}

void QuarvelPCSoftware::OnDatabaseInsertNewPatientSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    if (!pPatientList)
        return;
    m_pPatientList->Model()->InsertAtTop(*pPatientList);
    delete pPatientList;
}

void QuarvelPCSoftware::OnPatientListSelectRowChanged()
{
    MLOG("OnPatientListSelectRowChanged");
    const QUuid uuid = m_pPatientList->CurrentPatient();
    if (uuid.isNull()) {
        PatientData::GetInstance()->SetCurrentPatient(nullptr); // the views empty
        return;
    }
    emit GetDataFromDatabaseRequest(DB_WORK_GET_ONE_PATIENT_DETAIL,
                                    AsParameter(NewPatientKey(uuid)), 0);
    emit GetDataFromDatabaseRequest(DB_WORK_GET_NIBP_DATA, AsParameter(new QUuid(uuid)), 0);
    emit GetDataFromDatabaseRequest(DB_WORK_GET_SPO2_DATA, AsParameter(new QUuid(uuid)), 0);
    emit GetDataFromDatabaseRequest(DB_WORK_GET_TEMP_DATA, AsParameter(new QUuid(uuid)), 0);
}

void QuarvelPCSoftware::OnMergePatientDataSucc(QUuid *puuidNew, QUuid *puuidOld)
{
    if (m_pMergeFlow->TakeMerged(puuidNew, puuidOld))
        OnPatientListSelectRowChanged();
}

void QuarvelPCSoftware::OnDatabaseProcessResult(uint iWorkType, uint iErrorCode)
{
    m_pMergeFlow->TakeProcessResult(iWorkType, iErrorCode);
}

void QuarvelPCSoftware::OnDatabaseOpenResult(uint iErrorCode, const QString &strReason)
{
    if (iErrorCode == DB_OK)
        return;
    MLOG(QStringLiteral("The database cannot be used (%1).").arg(iErrorCode));
    m_messages.DatabaseOpenFailed(iErrorCode, strReason);
}

void QuarvelPCSoftware::OnDatabaseGetOnePatientBriefSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    if (!pPatientList)
        return;
    std::unique_ptr<STU_DB_PATIENT_LIST> record(pPatientList);
    m_pPatientList->Model()->TakeBrief(*record);
    m_pPatientList->Repaint();
}

void QuarvelPCSoftware::OnImportPatientDataFinished(QUuid *pGUID)
{
    if (!pGUID)
        return;
    std::unique_ptr<QUuid> uuid(pGUID);
    emit GetDataFromDatabaseRequest(DB_WORK_GET_ONE_PATIENT_BRIEF,
                                    AsParameter(NewPatientKey(*uuid)), 0);
}

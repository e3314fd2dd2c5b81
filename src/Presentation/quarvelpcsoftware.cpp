#include "quarvelpcsoftware.h"

#include "ComOpenError.h"
#include "CommunicationProcessControl.h"
#include "DatabaseServerAddress.h"
#include "ExportControl.h"
#include "MDatabaseService.h"
#include "MLog.h"
#include "MSettings.h"
#include "MergeKeys.h"
#include "PageFont.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "ProgramShutdown.h"
#include "TrendGrapView.h"
#include "TrendTableView.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int kRestoredWidth = 1024;
constexpr int kRestoredHeight = 768;
constexpr int kCornerDiameter = 10;
// How long an export waits for the records of a patient just chosen.
constexpr int kExportListWaitMs = 5000;

QFont RowFont(bool read)
{
    // Only the weight is set, so the rest comes from the table's own font.
    QFont font;
    font.setWeight(read ? QFont::Normal : QFont::Bold);
    return font;
}

uint SecondsSinceEpoch(const QDateTime &time)
{
    return time.isValid() ? static_cast<uint>(time.toSecsSinceEpoch()) : 0u;
}

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

// Only the page on show asks for room, so that the view column scrolls only
// when that page does not fit (a stack asks for its largest page otherwise).
void SizeStackToPage(QStackedWidget *stack, int current)
{
    for (int i = 0; i < stack->count(); ++i) {
        const auto policy = i == current ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        stack->widget(i)->setSizePolicy(policy, policy);
    }
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
    ApplyWindowMask();
    setWindowFlags(Qt::FramelessWindowHint);
    ui.tabWidget->setCurrentIndex(0);
    SetUpPatientListTable();
    if (!m_pStackedWidget)
        CreateViews();
    LoadSettingsTab();
    LayOutDesktopTab();
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

QuarvelPCSoftware::~QuarvelPCSoftware()
{
    ui.PatientListTable->clearContents();
    ui.PatientListTable->clear();
}

QRect QuarvelPCSoftware::RestoredGeometry(const QRect &available)
{
    const int left = available.width() > kRestoredWidth
                         ? available.left() + (available.width() - kRestoredWidth) / 2
                         : 0;
    const int top = available.height() > kRestoredHeight
                        ? available.top() + (available.height() - kRestoredHeight) / 2
                        : 0;
    return QRect(left, top, kRestoredWidth, qMin(kRestoredHeight, available.height()));
}

QRegion QuarvelPCSoftware::WindowMask(int width, int height)
{
    const int d = kCornerDiameter;
    QRegion mask(d / 2, 0, width - d, height);
    mask += QRegion(0, d / 2, width, height - d);
    mask += QRegion(0, 0, d, d, QRegion::Ellipse);
    mask += QRegion(width - d, 0, d, d, QRegion::Ellipse);
    mask += QRegion(0, height - d, d, d, QRegion::Ellipse);
    mask += QRegion(width - d, height - d, d, d, QRegion::Ellipse);
    return mask;
}

// ---------------------------------------------------------------- start-up --

void QuarvelPCSoftware::ApplyWindowMask()
{
    setMask(WindowMask(width(), height()));
}

void QuarvelPCSoftware::SetUpPatientListTable()
{
    QTableWidget *table = ui.PatientListTable;
    table->setColumnWidth(0, 120);
    table->setColumnWidth(1, 60);
    table->setColumnWidth(2, 120);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void QuarvelPCSoftware::CreateViews()
{
    m_pStackedWidget = new QStackedWidget(this);
    m_pStackedWidget->setObjectName(QStringLiteral("ViewStackedWidget"));
    m_pPatientDetailInfoView = new PatientDetailInfoView(this);
    m_pTrendTableView = new TrendTableView(this);
    m_pTrendGrapView = new TrendGrapView(this);

    PatientData *model = PatientData::GetInstance();
    MDatabaseService *service = MDatabaseService::GetInstance();
    AddViewPage(m_pPatientDetailInfoView);
    connect(model, &PatientData::OnPatientDetailInfoChanged, m_pPatientDetailInfoView,
            &PatientDetailInfoView::OnPatientDetailInfoChanged);
    connect(m_pPatientDetailInfoView, &PatientDetailInfoView::AddDatabaseWork, service,
            &MDatabaseService::ProcessDatabaseTaskProc);
    connect(model, &PatientData::OnClearPatientData, m_pPatientDetailInfoView,
            &PatientDetailInfoView::Clear);
    connect(service, &MDatabaseService::OnSearchPatientToMergeSucc, m_pPatientDetailInfoView,
            &PatientDetailInfoView::OnSearchPatientToMergeSucc, Qt::QueuedConnection);

    AddViewPage(m_pTrendTableView);
    connect(model, &PatientData::OnPatientNIBPDataChanged, m_pTrendTableView,
            &TrendTableView::OnPatientNIBPDataChanged);
    connect(model, &PatientData::OnPatientSPO2DataChanged, m_pTrendTableView,
            &TrendTableView::OnPatientSPO2DataChanged);
    connect(model, &PatientData::OnPatientTEMPDataChanged, m_pTrendTableView,
            &TrendTableView::OnPatientTEMPDataChanged);
    connect(model, &PatientData::OnClearPatientData, m_pTrendTableView,
            &TrendTableView::OnClearPatientData);

    AddViewPage(m_pTrendGrapView);
    connect(model, &PatientData::OnPatientNIBPDataChanged, m_pTrendGrapView,
            &TrendGrapView::OnPatientNIBPDataChanged);
    connect(model, &PatientData::OnPatientSPO2DataChanged, m_pTrendGrapView,
            &TrendGrapView::OnPatientSPO2DataChanged);
    connect(model, &PatientData::OnPatientTEMPDataChanged, m_pTrendGrapView,
            &TrendGrapView::OnPatientTEMPDataChanged);
    connect(model, &PatientData::OnClearPatientData, m_pTrendGrapView,
            &TrendGrapView::OnClearPatientData);
}

void QuarvelPCSoftware::AddViewPage(QWidget *view)
{
    QFont font = view->font();
    font.setFamily(tr("Arial"));
    font.setPixelSize(13);
    SetPageFont(view, font);
    // Colour first: adding the page polishes it, and a page polished before
    // its palette was set keeps the default grey.
    QPalette viewPalette = palette();
    viewPalette.setBrush(QPalette::Window, QBrush(QColor(225, 230, 242)));
    view->setPalette(viewPalette);
    view->setAutoFillBackground(true);
    m_pStackedWidget->addWidget(view);
}

void QuarvelPCSoftware::LoadSettingsTab()
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

void QuarvelPCSoftware::LayOutDesktopTab()
{
    auto *tabLayout = new QVBoxLayout(ui.WorkStationTab);
    tabLayout->setSpacing(0);
    tabLayout->setContentsMargins(0, 0, 0, 0);

    auto *separator = new QWidget(ui.WorkStationTab);
    separator->setObjectName(QStringLiteral("DesktopSeparator"));
    separator->setFixedHeight(3);
    separator->setAttribute(Qt::WA_StyledBackground, true);
    separator->setStyleSheet(QStringLiteral("background-color: rgb(187, 209, 240);"));
    tabLayout->addWidget(separator);

    auto *row = new QHBoxLayout();
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(ui.PatientListWidget);
    auto *viewColumn = new QVBoxLayout();
    viewColumn->addWidget(ui.WorkstationGroupBox);
    // Below the height a page needs (the smallest window is lower than the
    // Trend page), the page scrolls instead of squeezing its parts together.
    auto *viewScroll = new QScrollArea(ui.WorkStationTab);
    viewScroll->setObjectName(QStringLiteral("ViewScrollArea"));
    viewScroll->setFrameShape(QFrame::NoFrame);
    viewScroll->setWidgetResizable(true);
    viewScroll->setWidget(m_pStackedWidget);
    connect(m_pStackedWidget, &QStackedWidget::currentChanged, this,
            [this](int current) { SizeStackToPage(m_pStackedWidget, current); });
    viewColumn->addWidget(viewScroll);
    row->addLayout(viewColumn);
    tabLayout->addLayout(row);
    m_pStackedWidget->setCurrentIndex(0);
    SizeStackToPage(m_pStackedWidget, 0);
}

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
    connect(control, &CommunicationProcessControl::ImportProgressChanged, ui.StatusBarLabel,
            &QLabel::setText);
}

void QuarvelPCSoftware::ConnectCommands()
{
    connect(ui.HelpButton, &QPushButton::clicked, this, &QuarvelPCSoftware::Help);
    connect(ui.InfoButton, &QPushButton::clicked, this, &QuarvelPCSoftware::Info);
    connect(ui.MinButton, &QPushButton::clicked, this, &QuarvelPCSoftware::MinMainDialog);
    connect(ui.MaxButton, &QPushButton::clicked, this, &QuarvelPCSoftware::MaxMainDialog);
    connect(ui.CloseButton, &QPushButton::clicked, this, &QuarvelPCSoftware::CloseMainDialog);
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
    connect(ui.PatientListTable, &QTableWidget::itemSelectionChanged, this,
            &QuarvelPCSoftware::OnPatientListSelectRowChanged);
    // The merge answer comes whatever the outcome; a failure shows only here.
    connect(service, &MDatabaseService::OnDatabaseProcessResult, this,
            &QuarvelPCSoftware::OnDatabaseProcessResult, queued);
}

// ---------------------------------------------------------- window frame --

void QuarvelPCSoftware::Help() {}

void QuarvelPCSoftware::Info() {}

void QuarvelPCSoftware::MinMainDialog()
{
    showMinimized();
}

void QuarvelPCSoftware::MaxMainDialog()
{
    QScreen *screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    setGeometry(m_bMaximise ? available : RestoredGeometry(available));
    m_bMaximise = !m_bMaximise;
    ApplyWindowMask();
}

void QuarvelPCSoftware::CloseMainDialog()
{
    close();
}

void QuarvelPCSoftware::done(int r)
{
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

void QuarvelPCSoftware::ShowPage(int page)
{
    if (m_pStackedWidget)
        m_pStackedWidget->setCurrentIndex(page);
}

void QuarvelPCSoftware::OnPatientInfoButtonClicked()
{
    MLOG("OnPatientInfoButtonClicked");
    ui.PatientInfoToolButton->setChecked(true);
    ShowPage(0);
}

void QuarvelPCSoftware::OnTrendTableButtonClicked()
{
    MLOG("OnTrendTableButtonClicked");
    ui.TableToolButton->setChecked(true);
    ShowPage(1);
}

void QuarvelPCSoftware::OnTrendGrapButtonClicked()
{
    MLOG("OnTrendGrapButtonClicked");
    ui.TrendToolButton->setChecked(true);
    ShowPage(2);
}

void QuarvelPCSoftware::ShowInformation(const QString &title, const QString &text)
{
    QMessageBox::information(this, title, text, QMessageBox::Ok);
}

// --------------------------------------------------------------- commands --

void QuarvelPCSoftware::NewDeviceConnected()
{
    ui.ImportButton->setEnabled(true);
}

void QuarvelPCSoftware::DeviceDisconnected()
{
    ui.ImportButton->setEnabled(false);
}

void QuarvelPCSoftware::ImportDataFinished()
{
    ShowInformation(tr("Import"), tr("Import patient data successfully!"));
}

void QuarvelPCSoftware::ImportDataFailed(uint iPatientsNotStored, uint iRecordsNotStored)
{
    const QString patients =
        iPatientsNotStored == 1 ? tr("1 patient") : tr("%1 patients").arg(iPatientsNotStored);
    const QString records =
        iRecordsNotStored == 1 ? tr("1 record") : tr("%1 records").arg(iRecordsNotStored);
    ShowInformation(tr("Import"),
                    tr("Import failed: %1 and %2 could not be stored in the database.\n\n"
                       "The log (%3) says why. Records already stored are kept; once the cause "
                       "is mended, press Import again to store the rest.")
                        .arg(patients, records, MLog::GetFilePath()));
}

void QuarvelPCSoftware::ImportDataStalled()
{
    ShowInformation(tr("Import"),
                    tr("The monitor stopped answering, so the import was stopped.\n\n"
                       "Check the cable and press Import again. Records already stored are kept "
                       "and are not imported twice."));
}

void QuarvelPCSoftware::DeviceOpenFailed(int iError, const QString &strPort)
{
    QString text;
    if (iError == COM_OPEN_ACCESS_DENIED)
        text = tr("The monitor's port %1 cannot be opened: this user has no permission to use "
                  "it, or another program is using it.\n\n"
                  "Add the user to the \"dialout\" group (sudo usermod -aG dialout $USER, then "
                  "log out and in again), or close the other program; then press Import again.")
                   .arg(strPort);
    else if (iError == COM_OPEN_NOT_FOUND)
        text = tr("The monitor's port %1 cannot be found.\n\n"
                  "Unplug the monitor, plug it in again and press Import.")
                   .arg(strPort);
    else
        text = tr("The monitor's port %1 cannot be opened.\n\n"
                  "Unplug the monitor, plug it in again and press Import. The log (%2) holds "
                  "the details.")
                   .arg(strPort, MLog::GetFilePath());
    ShowInformation(tr("Import"), text);
}

void QuarvelPCSoftware::ImportButtonClicked()
{
    MLOG("ImportButtonClicked");
    CommunicationProcessControl::GetInstance()->StartImportData();
}

void QuarvelPCSoftware::DeleteButtonClicked()
{
    MLOG("DeleteButtonClicked");
    for (int row : SelectedRows())
        emit GetDataFromDatabaseRequest(DB_WORK_DELETE_PATIENT,
                                        AsParameter(new QUuid(RowPatientId(row))), 0);
}

void QuarvelPCSoftware::ExportButtonClicked()
{
    MLOG("ExportButtonClicked");
    PatientData *model = PatientData::GetInstance();
    if (!model->GetCurrentPatient()) {
        ShowInformation(tr("Save Patient Information"),
                        tr("Please select a patient to export data!"));
        return;
    }
    // A patient just chosen may not have all his records in yet; exporting
    // then would write an incomplete record under his name.
    if (!model->WaitForDataLists(kExportListWaitMs)) {
        ShowInformation(tr("Export"), tr("The records of this patient are still being loaded, "
                                         "so nothing was exported. Please try again."));
        return;
    }
    bool bSucceeded = false;
    const QString folder = ExportControl::GetInstance()->ExportPatientData(&bSucceeded);
    // A file that could not be written must not be reported as exported.
    const QString text = bSucceeded
                             ? tr("Export Patient Data to '") + folder + tr("' successfully!")
                             : tr("Export Patient Data to '") + folder + tr("' failed!");
    ShowInformation(tr("Export"), text);
}

void QuarvelPCSoftware::PrintButtonClicked()
{
    if (!PatientData::GetInstance()->GetCurrentPatient()) {
        ShowInformation(tr("Save Patient Information"), tr("Please select a patient to print!"));
        return;
    }
    MLOG("PrintButtonClicked");
}

void QuarvelPCSoftware::SettingBrowseButtonClicked()
{
    MLOG("SettingBrowseButtonClicked");
    const QString directory = QFileDialog::getExistingDirectory(
        this, tr("Select export file(s) path"), MSettings::GetInstance()->GetExportFilePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!directory.isEmpty())
        ui.lineEdit_Export_Path->setText(directory);
}

void QuarvelPCSoftware::SettingSaveButtonClicked()
{
    MLOG("SettingSaveButtonClicked");
    if (ui.lineEdit_Export_Path->text().isEmpty()) {
        ShowInformation(tr("Settings"), tr("Please choose a folder for the exported files: the "
                                           "export path cannot be empty. Nothing has been saved."));
        return;
    }
    MSettings *settings = MSettings::GetInstance();
    settings->SetPatientKeyDeviceSN(ui.checkBox_DeviceSN->isChecked());
    settings->SetPatientKeyPatientID(ui.checkBox_ID->isChecked());
    settings->SetPatientKeyPatientName(ui.checkBox_Name->isChecked());
    settings->SetPatientKeyIdentifyCode(ui.checkBox_IdentityCode->isChecked());
    settings->SetPatientKeySocietyCode(ui.checkBox_SocietyCode->isChecked());
    settings->SetExportFilePath(ui.lineEdit_Export_Path->text());
    settings->SaveSettings();
}

// ------------------------------------------------------- database answers --

void QuarvelPCSoftware::OnDatabaseGetAllPatientBriefSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    QTableWidget *table = ui.PatientListTable;
    table->clearContents();
    // Each record belongs on top of the ones before it. Making room for the
    // whole chain at once and filling it bottom-up gives the same rows as
    // inserting one by one at the top, without moving every row below. A
    // repeated answer replaces the list rather than leaving empty rows.
    const int count = RecordChainLength(pPatientList);
    table->setUpdatesEnabled(false);
    table->setRowCount(count);
    int row = count - 1;
    for (STU_DB_PATIENT_LIST *record = pPatientList; record; --row) {
        STU_DB_PATIENT_LIST *next = record->pNext;
        FillPatientRow(row, *record);
        delete record;
        record = next;
    }
    table->setUpdatesEnabled(true);
    RepaintPatientList();
    // A patient deleted at another workstation leaves the views.
    PatientData *model = PatientData::GetInstance();
    const QUuid current =
        model->GetCurrentPatient() ? model->GetCurrentPatient()->PatientID : QUuid();
    if (!current.isNull() && FindPatientRow(current) < 0)
        model->ClearPatientData(&current);
}

void QuarvelPCSoftware::OnDatabaseGetOnePatientDetailSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    if (!pPatientList)
        return;
    std::unique_ptr<STU_DB_PATIENT_LIST> record(pPatientList);
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty() || RowPatientId(rows.first()) != record->PatientID)
        return; // the selection has moved on meanwhile
    const QUuid uuid = record->PatientID;
    PatientData::GetInstance()->SetCurrentPatientAndNotify(record.release());
    SetPatientRowReadState(uuid, true);
}

void QuarvelPCSoftware::OnDatabaseUpdateOnePatientDetailInfoSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    if (!pPatientList)
        return;
    std::unique_ptr<STU_DB_PATIENT_LIST> record(pPatientList);
    const int row = FindPatientRow(record->PatientID);
    if (row < 0)
        return;
    ui.PatientListTable->item(row, 2)->setText(GetRecordText(record->Name));
    RepaintPatientList();
    const uint chosenKeys = MSettings::GetInstance()->GetMergeKeyBits();
    const uint keyBits = MergeKeysWithValues(chosenKeys, *record);
    if (keyBits != 0) {
        // The look-alikes are compared with the record as saved, whoever is
        // on show when they arrive; the database thread reads a copy of its own.
        m_pPatientDetailInfoView->ExpectMergeCandidates(*record);
        emit GetDataFromDatabaseRequest(DB_WORK_SEARCH_PATIENT_TO_MERGE, keyBits,
                                        AsParameter(CopyRecord(*record)));
    }
    // The selection may have moved on while the update ran.
    PatientData *model = PatientData::GetInstance();
    const STU_DB_PATIENT_LIST *current = model->GetCurrentPatient();
    if (current && current->PatientID == record->PatientID)
        model->SetCurrentPatient(record.release());
    if (keyBits == 0 && chosenKeys != 0)
        m_pPatientDetailInfoView->ConfirmSave(); // no chosen key has a value: nobody to compare
}

void QuarvelPCSoftware::OnDatabaseDeletePatientSucc(QUuid *pGUID)
{
    if (!pGUID)
        return;
    std::unique_ptr<QUuid> uuid(pGUID);
    PatientData::GetInstance()->ClearPatientData(uuid.get());
    const int row = FindPatientRow(*uuid);
    if (row >= 0)
        ui.PatientListTable->removeRow(row);
    RepaintPatientList();
}

void QuarvelPCSoftware::OnDatabaseInsertNewPatientSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    if (!pPatientList)
        return;
    InsertPatientRow(*pPatientList);
    delete pPatientList;
}

void QuarvelPCSoftware::OnPatientListSelectRowChanged()
{
    MLOG("OnPatientListSelectRowChanged");
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty())
        return;
    const QUuid uuid = RowPatientId(rows.first());
    emit GetDataFromDatabaseRequest(DB_WORK_GET_ONE_PATIENT_DETAIL,
                                    AsParameter(NewPatientKey(uuid)), 0);
    emit GetDataFromDatabaseRequest(DB_WORK_GET_NIBP_DATA, AsParameter(new QUuid(uuid)), 0);
    emit GetDataFromDatabaseRequest(DB_WORK_GET_SPO2_DATA, AsParameter(new QUuid(uuid)), 0);
    emit GetDataFromDatabaseRequest(DB_WORK_GET_TEMP_DATA, AsParameter(new QUuid(uuid)), 0);
}

void QuarvelPCSoftware::OnMergePatientDataSucc(QUuid *puuidNew, QUuid *puuidOld)
{
    if (!puuidNew || !puuidOld) {
        // Whatever arrived is still ours to free.
        delete puuidNew;
        delete puuidOld;
        return;
    }
    std::unique_ptr<QUuid> remaining(puuidNew);
    std::unique_ptr<QUuid> removed(puuidOld);
    const int row = FindPatientRow(*removed);
    if (row >= 0)
        ui.PatientListTable->removeRow(row);
    RepaintPatientList();
    removed.reset();
    OnPatientListSelectRowChanged();
}

void QuarvelPCSoftware::OnDatabaseProcessResult(uint iWorkType, uint iErrorCode)
{
    // The merge answer has already taken the removed patient's row away; after a
    // failed merge that patient is still stored, so the list is read again.
    if (iWorkType != DB_WORK_MERGE_PATIENT_DATA || iErrorCode == DB_OK)
        return;
    MLOG(
        QStringLiteral("Merge patient data failed (%1), reload the patient list.").arg(iErrorCode));
    emit GetDataFromDatabaseRequest(DB_WORK_GET_ALL_PATIENT_BRIEF, 0, 0);
    // The merge runs in one transaction, so a failure has changed nothing.
    ShowInformation(tr("Merge"),
                    tr("The patients could not be merged. Both patients are unchanged."));
}

void QuarvelPCSoftware::OnDatabaseOpenResult(uint iErrorCode, const QString &strReason)
{
    if (iErrorCode == DB_OK)
        return;
    MLOG(QStringLiteral("The database cannot be used (%1).").arg(iErrorCode));
    // A server that could not be reached is tried again at the next database work.
    const bool triedAgain =
        iErrorCode == DB_ERR_OPEN &&
        DatabaseServerAddress::IsServerUri(MSettings::GetInstance()->GetDatabaseFilePath());
    const QString next =
        triedAgain ? tr("The program keeps running and connects to the server again by itself "
                        "the next time patient data is read or stored; nothing needs to be "
                        "restarted.")
                   : tr("The program keeps running, but patient data cannot be shown or stored "
                        "until the database can be used and the program is started again.");
    ShowInformation(tr("Database"), strReason + QStringLiteral("\n\n") + next);
}

void QuarvelPCSoftware::OnDatabaseGetOnePatientBriefSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    if (!pPatientList)
        return;
    std::unique_ptr<STU_DB_PATIENT_LIST> record(pPatientList);
    const int row = FindPatientRow(record->PatientID);
    if (row < 0)
        return;
    const QTableWidgetItem *timeItem = ui.PatientListTable->item(row, 1);
    const uint shown = timeItem ? timeItem->data(Qt::UserRole).toUInt() : 0u;
    if (QDateTime::fromSecsSinceEpoch(shown) >= record->LastUpdateTime)
        return;
    ui.PatientListTable->removeRow(row);
    InsertPatientRow(*record);
    RepaintPatientList();
}

void QuarvelPCSoftware::OnImportPatientDataFinished(QUuid *pGUID)
{
    if (!pGUID)
        return;
    std::unique_ptr<QUuid> uuid(pGUID);
    emit GetDataFromDatabaseRequest(DB_WORK_GET_ONE_PATIENT_BRIEF,
                                    AsParameter(NewPatientKey(*uuid)), 0);
}

// ----------------------------------------------------------- patient list --

void QuarvelPCSoftware::InsertPatientRow(const STU_DB_PATIENT_LIST &record)
{
    ui.PatientListTable->insertRow(0);
    FillPatientRow(0, record);
    ui.PatientListTable->showRow(0);
}

void QuarvelPCSoftware::FillPatientRow(int row, const STU_DB_PATIENT_LIST &record)
{
    const QFont font = RowFont(record.ReadFlag);
    auto *snItem = new QTableWidgetItem(GetRecordText(record.DeviceSN));
    snItem->setData(Qt::UserRole, record.PatientID.toByteArray());
    snItem->setFont(font);
    ui.PatientListTable->setItem(row, 0, snItem);

    const QString id = record.IdInDevice == MONITOR_PSEUDO_PATIENT_ID
                           ? tr("monitor")
                           : QString::number(record.IdInDevice);
    auto *idItem = new QTableWidgetItem(id);
    idItem->setFont(font);
    idItem->setData(Qt::UserRole, SecondsSinceEpoch(record.LastUpdateTime));
    ui.PatientListTable->setItem(row, 1, idItem);

    auto *nameItem = new QTableWidgetItem(GetRecordText(record.Name));
    nameItem->setFont(font);
    ui.PatientListTable->setItem(row, 2, nameItem);
}

void QuarvelPCSoftware::SetPatientRowReadState(const QUuid &uuid, bool read)
{
    if (uuid.isNull())
        return;
    const int row = FindPatientRow(uuid);
    if (row < 0)
        return;
    const QFont font = RowFont(read);
    for (int column = 0; column < ui.PatientListTable->columnCount(); ++column) {
        if (QTableWidgetItem *item = ui.PatientListTable->item(row, column))
            item->setFont(font);
    }
}

int QuarvelPCSoftware::FindPatientRow(const QUuid &uuid) const
{
    const int rows = ui.PatientListTable->rowCount();
    for (int row = 0; row < rows; ++row) {
        if (RowPatientId(row) == uuid)
            return row;
    }
    return -1;
}

QUuid QuarvelPCSoftware::RowPatientId(int row) const
{
    const QTableWidgetItem *item = ui.PatientListTable->item(row, 0);
    if (!item)
        return QUuid();
    return QUuid::fromString(QLatin1String(item->data(Qt::UserRole).toByteArray()));
}

QList<int> QuarvelPCSoftware::SelectedRows() const
{
    QList<int> rows;
    const QItemSelectionModel *selection = ui.PatientListTable->selectionModel();
    for (const QModelIndex &index : selection->selectedRows(0))
        rows.append(index.row());
    return rows;
}

void QuarvelPCSoftware::RepaintPatientList()
{
    ui.PatientListTable->repaint();
}

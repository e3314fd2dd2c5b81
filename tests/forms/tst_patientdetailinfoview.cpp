#include "MDatabaseService.h"
#include "MSettings.h"
#include "ModalWatcher.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "TestEnvironment.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <vector>

namespace {

struct ChainDeleter
{
    void operator()(STU_DB_PATIENT_LIST *chain) const { FreeRecordChain(chain); }
};
using Chain = std::unique_ptr<STU_DB_PATIENT_LIST, ChainDeleter>;

const QString SavedMessage =
    QStringLiteral("Save Patient Information|Save patient detail information successfully!");

STU_DB_PATIENT_LIST *NewPatient(const QString &name)
{
    auto *patient = new STU_DB_PATIENT_LIST;
    patient->PatientID = QUuid::createUuid();
    SetRecordText(patient->DeviceSN, QStringLiteral("SN-42"));
    patient->IdInDevice = 7;
    SetRecordText(patient->Name, name);
    return patient;
}

// One work item the form emitted, with what it handed over.
struct MergeWork
{
    uint type = 0;
    std::unique_ptr<QUuid> remaining;
    std::unique_ptr<QUuid> removed;
};

} // namespace

class TestPatientDetailInfoView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void ShowAndClear();
    void SaveWithoutPatient();
    void SaveThroughService();
    void NoPatientKeyNoConfirmation();
    void MergeWorkItems();

private:
    QLineEdit *Edit(const char *name) const { return m_form->findChild<QLineEdit *>(name); }
    QComboBox *Combo(const char *name) const { return m_form->findChild<QComboBox *>(name); }
    void ConnectAsMainWindow();
    void Post(uint type, quintptr wParam, quintptr lParam);
    template <typename Signal> STU_DB_PATIENT_LIST *Ask(Signal signal, uint type, quintptr wParam);
    Chain FetchDetail(const QUuid &id);
    void RoundTrip();
    void SetCurrentFromDatabase(int index);

    std::unique_ptr<TestEnvironment> m_env;
    MDatabaseService *m_service = nullptr;
    std::unique_ptr<PatientDetailInfoView> m_form;
    std::unique_ptr<ModalWatcher> m_watcher;
    int m_updates = 0;
};

void TestPatientDetailInfoView::initTestCase()
{
    RegisterDatabaseMetaTypes();
    m_env = std::make_unique<TestEnvironment>();
    m_service = MDatabaseService::GetInstance();
    m_service->Start();
}

void TestPatientDetailInfoView::cleanupTestCase()
{
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
    delete m_service;
    m_env.reset();
}

void TestPatientDetailInfoView::init()
{
    FailOnWarnings();
    m_form = std::make_unique<PatientDetailInfoView>();
    m_watcher = std::make_unique<ModalWatcher>();
    PatientData *model = PatientData::GetInstance();
    connect(model, &PatientData::OnPatientDetailInfoChanged, m_form.get(),
            &PatientDetailInfoView::OnPatientDetailInfoChanged);
    connect(model, &PatientData::OnClearPatientData, m_form.get(), &PatientDetailInfoView::Clear);
    m_updates = 0;
}

void TestPatientDetailInfoView::cleanup()
{
    m_form.reset();
    m_watcher.reset();
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
    MSettings::GetInstance()->SetPatientKeyPatientName(true);
}

// Connections 2 and 4, and the main window's part after a saved update: take
// the record as the current one and ask for merge candidates.
void TestPatientDetailInfoView::ConnectAsMainWindow()
{
    connect(m_form.get(), &PatientDetailInfoView::AddDatabaseWork, m_service,
            &MDatabaseService::ProcessDatabaseTaskProc);
    connect(m_service, &MDatabaseService::OnSearchPatientToMergeSucc, m_form.get(),
            &PatientDetailInfoView::OnSearchPatientToMergeSucc, Qt::QueuedConnection);
    connect(
        m_service, &MDatabaseService::OnDatabaseUpdateOnePatientDetailInfoSucc, m_form.get(),
        [this](STU_DB_PATIENT_LIST *record) {
            ++m_updates;
            PatientData::GetInstance()->SetCurrentPatient(record);
            // The service owns and frees the compared record: it gets a copy.
            Post(DB_WORK_SEARCH_PATIENT_TO_MERGE, MSettings::GetInstance()->GetMergeKeyBits(),
                 reinterpret_cast<quintptr>(CopyRecord(*record)));
        },
        Qt::QueuedConnection);
}

void TestPatientDetailInfoView::Post(uint type, quintptr wParam, quintptr lParam)
{
    MDatabaseService *service = m_service;
    QMetaObject::invokeMethod(
        service, [=] { service->ProcessDatabaseTaskProc(type, wParam, lParam); },
        Qt::QueuedConnection);
}

template <typename Signal>
STU_DB_PATIENT_LIST *TestPatientDetailInfoView::Ask(Signal signal, uint type, quintptr wParam)
{
    STU_DB_PATIENT_LIST *answer = nullptr;
    bool answered = false;
    const auto connection = connect(
        m_service, signal, this,
        [&](STU_DB_PATIENT_LIST *record) {
            answer = record;
            answered = true;
        },
        Qt::QueuedConnection);
    Post(type, wParam, 0);
    if (!QTest::qWaitFor([&] { return answered; }, 10000))
        QTest::qFail("no answer from the database service", __FILE__, __LINE__);
    disconnect(connection);
    return answer;
}

Chain TestPatientDetailInfoView::FetchDetail(const QUuid &id)
{
    auto *request = new STU_DB_PATIENT_LIST;
    request->PatientID = id;
    return Chain(Ask(&MDatabaseService::OnDatabaseGetOnePatientDetailSucc,
                     DB_WORK_GET_ONE_PATIENT_DETAIL, reinterpret_cast<quintptr>(request)));
}

// Work items run in posting order: once this answer is back, everything
// posted before it has run, and its answers are queued before this one.
void TestPatientDetailInfoView::RoundTrip()
{
    Chain all(
        Ask(&MDatabaseService::OnDatabaseGetAllPatientBriefSucc, DB_WORK_GET_ALL_PATIENT_BRIEF, 0));
    QCoreApplication::processEvents();
}

void TestPatientDetailInfoView::SetCurrentFromDatabase(int index)
{
    Chain all(
        Ask(&MDatabaseService::OnDatabaseGetAllPatientBriefSucc, DB_WORK_GET_ALL_PATIENT_BRIEF, 0));
    QVERIFY(RecordChainLength(all.get()) > index);
    const STU_DB_PATIENT_LIST *brief = all.get();
    for (int i = 0; i < index; ++i)
        brief = brief->pNext;
    Chain detail = FetchDetail(brief->PatientID);
    QVERIFY(detail);
    PatientData::GetInstance()->SetCurrentPatientAndNotify(detail.release());
}

void TestPatientDetailInfoView::ShowAndClear()
{
    QCOMPARE(m_form->objectName(), QStringLiteral("PatientInfoView"));
    QCOMPARE(Combo("comboBox_PatientType")->itemText(3), QStringLiteral("Neo"));
    QCOMPARE(Combo("comboBox_IdentityType")->itemText(2), QStringLiteral("SIN Card"));
    QVERIFY(Edit("lineEdit_SN")->isReadOnly());
    QVERIFY(!Edit("lineEdit_Name")->isReadOnly());

    STU_DB_PATIENT_LIST *monitor = NewPatient(QStringLiteral("Rosa Lind"));
    monitor->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    monitor->Height = 172.25f;
    monitor->Weight = 65.5f;
    monitor->Gender = 2;
    monitor->IdentityType = 1;
    monitor->PatientType = 3;
    monitor->Age = 51;
    SetRecordText(monitor->Address, QStringLiteral("Quay Street 9"));
    PatientData::GetInstance()->SetCurrentPatientAndNotify(monitor);
    QCOMPARE(Edit("lineEdit_SN")->text(), QStringLiteral("SN-42"));
    QCOMPARE(Edit("lineEdit_ID")->text(), QStringLiteral("monitor"));
    QCOMPARE(Edit("lineEdit_Name")->text(), QStringLiteral("Rosa Lind"));
    QCOMPARE(Edit("lineEdit_Height")->text(), QStringLiteral("172.25"));
    QCOMPARE(Edit("lineEdit_Weight")->text(), QStringLiteral("65.5"));
    QCOMPARE(Edit("lineEdit_Age")->text(), QStringLiteral("51"));
    QCOMPARE(Edit("lineEdit_Address")->text(), QStringLiteral("Quay Street 9"));
    QCOMPARE(Combo("comboBox_Gender")->currentText(), QStringLiteral("Female"));
    QCOMPARE(Combo("comboBox_IdentityType")->currentText(), QStringLiteral("ID Card"));
    QCOMPARE(Combo("comboBox_PatientType")->currentText(), QStringLiteral("Neo"));

    STU_DB_PATIENT_LIST *zero = NewPatient(QStringLiteral("Ola"));
    zero->IdInDevice = 0;
    PatientData::GetInstance()->SetCurrentPatientAndNotify(zero);
    QCOMPARE(Edit("lineEdit_ID")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("lineEdit_Height")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("lineEdit_Age")->text(), QStringLiteral("0"));
    QCOMPARE(Combo("comboBox_Gender")->currentIndex(), 0);

    const QUuid id = zero->PatientID;
    PatientData::GetInstance()->ClearPatientData(&id);
    for (QLineEdit *edit : m_form->findChildren<QLineEdit *>())
        QCOMPARE(edit->text(), QString());
    for (QComboBox *combo : m_form->findChildren<QComboBox *>())
        QCOMPARE(combo->currentIndex(), 0);
}

void TestPatientDetailInfoView::SaveWithoutPatient()
{
    int works = 0;
    connect(m_form.get(), &PatientDetailInfoView::AddDatabaseWork, this, [&] { ++works; });
    QTest::mouseClick(m_form->findChild<QPushButton *>("pushButton_Save"), Qt::LeftButton);
    QCOMPARE(m_watcher->MessageBoxes(),
             QStringList({"Save Patient Information|Please select a patient to modify detail "
                          "information!"}));
    QCOMPARE(works, 0);
}

void TestPatientDetailInfoView::SaveThroughService()
{
    ConnectAsMainWindow();
    SetCurrentFromDatabase(0);
    if (QTest::currentTestFailed())
        return;
    const STU_DB_PATIENT_LIST before = *PatientData::GetInstance()->GetCurrentPatient();

    Edit("lineEdit_Name")->clear();
    QTest::keyClicks(Edit("lineEdit_Name"), QStringLiteral("Bertram Quill"));
    Edit("lineEdit_Age")->setText(QStringLiteral("abc"));
    Edit("lineEdit_Height")->setText(QStringLiteral("181.5"));
    Edit("lineEdit_Weight")->setText(QStringLiteral("heavy"));
    Combo("comboBox_Gender")->setCurrentIndex(2);
    Combo("comboBox_PatientType")->setCurrentIndex(3);
    // Longer input than the record holds is stopped at the field's size.
    Edit("lineEdit_Address")->setText(QString(300, QLatin1Char('x')));
    QCOMPARE(Edit("lineEdit_Address")->text().size(), 255);
    Edit("lineEdit_Mobile")->clear();
    QTest::keyClicks(Edit("lineEdit_Mobile"), QString(40, QLatin1Char('5')));
    QCOMPARE(Edit("lineEdit_Mobile")->text().size(), 31);

    QTest::mouseClick(m_form->findChild<QPushButton *>("pushButton_Save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_watcher->MessageBoxes(), QStringList({SavedMessage}), 10000);
    QCOMPARE(m_watcher->DialogsSeen(), 0); // the new name has no look-alike
    QCOMPARE(m_updates, 1);
    QCOMPARE(Edit("lineEdit_Age")->text(), QStringLiteral("abc"));

    Chain stored = FetchDetail(before.PatientID);
    QVERIFY(stored);
    QCOMPARE(GetRecordText(stored->Name), QStringLiteral("Bertram Quill"));
    QCOMPARE(stored->Age, 0);
    QCOMPARE(stored->Height, 181.5f);
    QCOMPARE(stored->Weight, 0.0f);
    QCOMPARE(stored->Gender, 2);
    QCOMPARE(stored->PatientType, 3);
    QCOMPARE(stored->IdentityType, before.IdentityType);
    QCOMPARE(GetRecordText(stored->Address), QString(255, QLatin1Char('x')));
    QCOMPARE(GetRecordText(stored->Mobile), QString(31, QLatin1Char('5')));
    QCOMPARE(GetRecordText(stored->DeviceSN), GetRecordText(before.DeviceSN));
    QCOMPARE(stored->IdInDevice, before.IdInDevice);

    PatientData::GetInstance()->SetCurrentPatientAndNotify(stored.release());
    QCOMPARE(Edit("lineEdit_Age")->text(), QStringLiteral("0"));
}

void TestPatientDetailInfoView::NoPatientKeyNoConfirmation()
{
    MSettings::GetInstance()->SetPatientKeyPatientName(false);
    QCOMPARE(MSettings::GetInstance()->GetMergeKeyBits(), 0u);
    ConnectAsMainWindow();
    SetCurrentFromDatabase(1);
    if (QTest::currentTestFailed())
        return;
    Edit("lineEdit_Doctor")->setText(QStringLiteral("Dr. Vance"));
    QTest::mouseClick(m_form->findChild<QPushButton *>("pushButton_Save"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_updates, 1, 10000);
    RoundTrip();
    QVERIFY(m_watcher->MessageBoxes().isEmpty());
    Chain stored = FetchDetail(PatientData::GetInstance()->GetCurrentPatient()->PatientID);
    QVERIFY(stored);
    QCOMPARE(GetRecordText(stored->Doctor), QStringLiteral("Dr. Vance"));
}

void TestPatientDetailInfoView::MergeWorkItems()
{
    std::vector<MergeWork> works;
    connect(m_form.get(), &PatientDetailInfoView::AddDatabaseWork, this,
            [&](uint type, quintptr wParam, quintptr lParam) {
                MergeWork work;
                work.type = type;
                work.remaining.reset(reinterpret_cast<QUuid *>(wParam));
                work.removed.reset(reinterpret_cast<QUuid *>(lParam));
                works.push_back(std::move(work));
            });
    STU_DB_PATIENT_LIST *current = NewPatient(QStringLiteral("Anna"));
    const QUuid currentId = current->PatientID;
    PatientData::GetInstance()->SetCurrentPatient(current);
    auto candidates = [] {
        STU_DB_PATIENT_LIST *first = NewPatient(QStringLiteral("Anna"));
        first->pNext = NewPatient(QStringLiteral("Anna"));
        return first;
    };

    // Three chosen: two work items, both keeping the saved patient.
    STU_DB_PATIENT_LIST *list = candidates();
    const QUuid first = list->PatientID;
    const QUuid second = list->pNext->PatientID;
    m_watcher->AddDialogAction(
        [](QDialog *dialog) { dialog->findChild<QPushButton *>("pushButton_Merge")->click(); });
    m_form->OnSearchPatientToMergeSucc(list);
    QCOMPARE(m_watcher->DialogsSeen(), 1);
    QCOMPARE(m_watcher->MessageBoxes(), QStringList({SavedMessage}));
    QCOMPARE(works.size(), size_t(2));
    for (const MergeWork &work : works) {
        QCOMPARE(work.type, uint(DB_WORK_MERGE_PATIENT_DATA));
        QCOMPARE(*work.remaining, currentId);
    }
    QVERIFY(works[0].remaining != works[1].remaining);
    QCOMPARE(*works[0].removed, first);
    QCOMPARE(*works[1].removed, second);

    // "Don't Merge": nothing is sent, the save is still confirmed.
    works.clear();
    m_watcher->Reset();
    m_watcher->AddDialogAction(
        [](QDialog *dialog) { dialog->findChild<QPushButton *>("pushButton_Cancel")->click(); });
    m_form->OnSearchPatientToMergeSucc(candidates());
    QCOMPARE(m_watcher->DialogsSeen(), 1);
    QCOMPARE(m_watcher->MessageBoxes(), QStringList({SavedMessage}));
    QVERIFY(works.empty());

    // No candidate: the confirmation alone.
    m_watcher->Reset();
    m_form->OnSearchPatientToMergeSucc(nullptr);
    QCOMPARE(m_watcher->DialogsSeen(), 0);
    QCOMPARE(m_watcher->MessageBoxes(), QStringList({SavedMessage}));

    // Candidates but no current patient any more: no dialog, list freed.
    m_watcher->Reset();
    PatientData::GetInstance()->ClearPatientData(&currentId);
    m_form->OnSearchPatientToMergeSucc(candidates());
    QCOMPARE(m_watcher->DialogsSeen(), 0);
    QCOMPARE(m_watcher->MessageBoxes(), QStringList({SavedMessage}));
    QVERIFY(works.empty());
}

QTEST_MAIN(TestPatientDetailInfoView)
#include "tst_patientdetailinfoview.moc"

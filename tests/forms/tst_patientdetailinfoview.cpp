#include "ModalWatcher.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "TestRecords.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

STU_DB_PATIENT_LIST *NewSnPatient(const QString &name)
{
    STU_DB_PATIENT_LIST *patient = NewPatient(name);
    SetRecordText(patient->DeviceSN, QStringLiteral("SN-42"));
    return patient;
}

// One work item the form emitted, owning what it handed over.
struct Work
{
    uint type = 0;
    std::unique_ptr<STU_DB_PATIENT_LIST> record; // an update
    std::unique_ptr<QUuid> remaining, removed;   // a merge
};

} // namespace

class TestPatientDetailInfoView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ShowClearAndSaveWithoutPatient();
    void SaveBuildsRecord();
    void SaveRefusesBadNumbers_data();
    void SaveRefusesBadNumbers();
    void MergeWorkItems();

private:
    QLineEdit *Edit(const char *name) const { return m_form->findChild<QLineEdit *>(name); }
    void ClickSave() { m_form->findChild<QPushButton *>("pushButton_Save")->click(); }
    QStringList Shown() const;

    std::unique_ptr<PatientDetailInfoView> m_form;
    std::unique_ptr<ModalWatcher> m_watcher;
    std::vector<Work> m_works;
};

void TestPatientDetailInfoView::init()
{
    FailOnWarnings();
    m_form = std::make_unique<PatientDetailInfoView>();
    m_watcher = std::make_unique<ModalWatcher>();
    PatientData *model = PatientData::GetInstance();
    connect(model, &PatientData::OnPatientDetailInfoChanged, m_form.get(),
            &PatientDetailInfoView::OnPatientDetailInfoChanged);
    connect(model, &PatientData::OnClearPatientData, m_form.get(), &PatientDetailInfoView::Clear);
    connect(m_form.get(), &PatientDetailInfoView::AddDatabaseWork, this,
            [this](uint type, quintptr wParam, quintptr lParam) {
                Work work{type, nullptr, nullptr, nullptr};
                if (type == DB_WORK_UPDATE_PATIENT)
                    work.record.reset(reinterpret_cast<STU_DB_PATIENT_LIST *>(wParam));
                else
                    work.remaining.reset(reinterpret_cast<QUuid *>(wParam));
                work.removed.reset(reinterpret_cast<QUuid *>(lParam));
                m_works.push_back(std::move(work));
            });
}

void TestPatientDetailInfoView::cleanup()
{
    m_form.reset();
    m_watcher.reset();
    m_works.clear();
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
}

// Every field's text in the form's order; combo boxes give their current text.
QStringList TestPatientDetailInfoView::Shown() const
{
    QStringList texts;
    for (QWidget *field : m_form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (auto *edit = qobject_cast<QLineEdit *>(field))
            texts << edit->text();
        else if (auto *combo = qobject_cast<QComboBox *>(field))
            texts << combo->currentText();
    }
    return texts;
}

void TestPatientDetailInfoView::ShowClearAndSaveWithoutPatient()
{
    STU_DB_PATIENT_LIST *monitor = NewSnPatient(QStringLiteral("Rosa Lind"));
    monitor->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    monitor->Height = 172.25f;
    monitor->Gender = 2;
    monitor->IdentityType = 1;
    monitor->PatientType = 3;
    PatientData::GetInstance()->SetCurrentPatientAndNotify(monitor);
    QCOMPARE(Shown(), QStringList({"SN-42", "monitor", "Rosa Lind", "Female", "172.25", "0", "", "",
                                   "ID Card", "", "", "Neo", "0", ""}));

    STU_DB_PATIENT_LIST *zero = NewSnPatient(QStringLiteral("Ola"));
    PatientData::GetInstance()->SetCurrentPatientAndNotify(zero);
    QCOMPARE(Shown(),
             QStringList({"SN-42", "0", "Ola", "", "0", "0", "", "", "", "", "", "", "0", ""}));

    const QUuid id = zero->PatientID;
    PatientData::GetInstance()->ClearPatientData(&id);
    QCOMPARE(Shown(), QStringList(14, QString()));
    QCOMPARE(m_form->findChild<QComboBox *>("comboBox_Gender")->currentIndex(), 0);

    // With no patient left, Save only asks for one.
    ClickSave();
    QCOMPARE(m_watcher->MessageBoxes(),
             QStringList({"Save Patient Information|Please select a patient to modify detail "
                          "information!"}));
    QVERIFY(m_works.empty());
}

void TestPatientDetailInfoView::SaveBuildsRecord()
{
    STU_DB_PATIENT_LIST *current = NewSnPatient(QStringLiteral("Rosa Lind"));
    current->IdInDevice = 9;
    current->IdentityType = 2;
    current->Weight = 65.5f;
    current->Age = 51;
    const QUuid id = current->PatientID;
    PatientData::GetInstance()->SetCurrentPatientAndNotify(current);

    // The identity comes from the model, never from the read-only widgets.
    Edit("lineEdit_SN")->setText(QStringLiteral("SN-other"));
    Edit("lineEdit_ID")->setText(QStringLiteral("77"));
    Edit("lineEdit_Name")->clear();
    QTest::keyClicks(Edit("lineEdit_Name"), QStringLiteral("Bertram Quill"));
    Edit("lineEdit_Age")->setText(QStringLiteral(" 70 "));
    Edit("lineEdit_Height")->setText(QStringLiteral("181.5"));
    Edit("lineEdit_Weight")->setText(QStringLiteral("65,25"));
    m_form->findChild<QComboBox *>("comboBox_Gender")->setCurrentIndex(2);
    // Longer input than the record holds is stopped at the field's size.
    Edit("lineEdit_Address")->setText(QString(300, QLatin1Char('x')));
    Edit("lineEdit_IdentityCode")->setText(QString(70, QLatin1Char('7')));
    QTest::keyClicks(Edit("lineEdit_Mobile"), QString(40, QLatin1Char('5')));
    ClickSave();

    QCOMPARE(m_works.size(), size_t(1));
    QVERIFY(m_works[0].record && !m_works[0].removed);
    QVERIFY(m_works[0].record.get() != PatientData::GetInstance()->GetCurrentPatient());
    QCOMPARE(m_works[0].record->PatientID, id);
    // What was saved, shown again.
    PatientData::GetInstance()->SetCurrentPatientAndNotify(m_works[0].record.release());
    QCOMPARE(Shown(), QStringList({"SN-42", "9", "Bertram Quill", "Female", "181.5", "65.25",
                                   QString(31, QLatin1Char('5')), "", "SIN Card",
                                   QString(63, QLatin1Char('7')), "", "", "70",
                                   QString(255, QLatin1Char('x'))}));
    // The confirmation waits for the service's search answer.
    QVERIFY(m_watcher->MessageBoxes().isEmpty());
}

void TestPatientDetailInfoView::SaveRefusesBadNumbers_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal"); // empty: saved
    const auto row = [](const char *name, const char *field, const char *text, QString refusal) {
        QTest::newRow(name) << field << text << refusal;
    };
    const QString age = QStringLiteral("Please enter a whole number for Age!");
    const QString weight = QStringLiteral("Please enter a number for Weight(kg)!");
    row("age with words", "lineEdit_Age", "70 years", age);
    row("age decimal", "lineEdit_Age", "70.5", age);
    row("age negative", "lineEdit_Age", "-1", age);
    row("weight two commas", "lineEdit_Weight", "65,5,1", weight);
    row("weight inf", "lineEdit_Weight", "inf", weight);
    row("height word", "lineEdit_Height", "tall", "Please enter a number for Height(cm)!");
    row("empty height", "lineEdit_Height", "", QString());
}

void TestPatientDetailInfoView::SaveRefusesBadNumbers()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    PatientData::GetInstance()->SetCurrentPatientAndNotify(NewSnPatient(QStringLiteral("Rosa")));
    Edit(qPrintable(field))->setText(text);
    ClickSave();
    QCOMPARE(m_works.size(), size_t(refusal.isEmpty() ? 1 : 0));
    QCOMPARE(m_watcher->MessageBoxes(),
             refusal.isEmpty()
                 ? QStringList()
                 : QStringList(QStringLiteral("Save Patient Information|") + refusal));
    QCOMPARE(Edit(qPrintable(field))->text(), text);
}

void TestPatientDetailInfoView::MergeWorkItems()
{
    STU_DB_PATIENT_LIST *current = NewSnPatient(QStringLiteral("Anna"));
    const QUuid currentId = current->PatientID;
    PatientData::GetInstance()->SetCurrentPatient(current);
    const std::unique_ptr<STU_DB_PATIENT_LIST> saved(CopyRecord(*current));
    auto candidates = [] {
        STU_DB_PATIENT_LIST *first = NewSnPatient(QStringLiteral("Anna"));
        first->pNext = NewSnPatient(QStringLiteral("Anna"));
        return first;
    };
    // Offers the list; the dialog, if one is expected, is closed with the button.
    auto offer = [&](STU_DB_PATIENT_LIST *list, const char *button) {
        m_works.clear();
        m_watcher = std::make_unique<ModalWatcher>();
        m_form->ExpectMergeCandidates(*saved);
        if (button)
            m_watcher->AddDialogAction(
                [button](QDialog *dialog) { dialog->findChild<QPushButton *>(button)->click(); });
        m_form->OnSearchPatientToMergeSucc(list);
        QCOMPARE(m_watcher->DialogsSeen(), button ? 1 : 0);
        QCOMPARE(m_watcher->MessageBoxes(),
                 QStringList(
                     {"Save Patient Information|Save patient detail information successfully!"}));
    };

    // Three chosen: two work items, both keeping the saved patient, each with
    // its own copy of its UUID.
    STU_DB_PATIENT_LIST *list = candidates();
    const QUuid first = list->PatientID;
    const QUuid second = list->pNext->PatientID;
    offer(list, "pushButton_Merge");
    QCOMPARE(m_works.size(), size_t(2));
    for (const Work &work : m_works) {
        QCOMPARE(work.type, uint(DB_WORK_MERGE_PATIENT_DATA));
        QCOMPARE(*work.remaining, currentId);
    }
    QVERIFY(m_works[0].remaining != m_works[1].remaining);
    QCOMPARE(*m_works[0].removed, first);
    QCOMPARE(*m_works[1].removed, second);

    // "Don't Merge" sends nothing; with no candidates, or another patient or
    // none current by the time they come (the list is freed all the same),
    // the confirmation comes alone.
    offer(candidates(), "pushButton_Cancel");
    QVERIFY(m_works.empty());
    offer(nullptr, nullptr);
    PatientData::GetInstance()->SetCurrentPatient(NewSnPatient(QStringLiteral("Anna")));
    offer(candidates(), nullptr);
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
    offer(candidates(), nullptr);
    QVERIFY(m_works.empty());
}

QTEST_MAIN(TestPatientDetailInfoView)
#include "tst_patientdetailinfoview.moc"

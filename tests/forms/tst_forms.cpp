#include "MergePatientDataDialog.h"
#include "ModalWatcher.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "RecordChainPtr.h"
#include "TestRecords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

using Chain = RecordChainPtr<STU_DB_PATIENT_LIST>;

STU_DB_PATIENT_LIST *NewAnna(const QString &name = QStringLiteral("Anna"))
{
    STU_DB_PATIENT_LIST *patient = NewPatient(name);
    SetRecordText(patient->DeviceSN, QStringLiteral("SN-42"));
    patient->Gender = 1;
    patient->Height = 172.25f;
    patient->PatientType = 1;
    return patient;
}

Chain NewCandidates(int count)
{
    Chain chain;
    for (int i = 0; i < count; ++i) {
        STU_DB_PATIENT_LIST *patient = NewAnna();
        patient->pNext = chain.release();
        chain.reset(patient);
    }
    return chain;
}

// Takes and frees what the dialog hands over: a null within the returned count
// shows as a null UUID, anything handed over beyond it as an extra entry.
QList<QUuid> TakeChosen(MergePatientDataDialog &dialog, int maxCount = 7)
{
    std::array<QUuid *, 7> ids{};
    const int count = dialog.GetSelectedPatientIDs(ids.data(), maxCount);
    QList<QUuid> taken;
    for (int i = 0; i < 7; ++i) {
        const std::unique_ptr<QUuid> id(ids[i]);
        if (i < count || id)
            taken << (id ? *id : QUuid());
    }
    return taken;
}

const QString SaveBox = QStringLiteral("Save Patient Information|");

// One work item the form emitted, owning what it handed over.
struct Work
{
    uint type = 0;
    std::unique_ptr<STU_DB_PATIENT_LIST> record; // an update
    std::unique_ptr<QUuid> remaining, removed;   // a merge
};

} // namespace

// The merge dialog on its own, and the detail form with the model but no
// window or service: the test plays the service.
class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void DialogColumns_data();
    void DialogColumns();
    void DialogColoursAndTexts();
    void DialogChoosing();
    void FormShowClearAndSaveWithoutPatient();
    void FormSaveBuildsRecord();
    void FormRefusesBadNumbers_data();
    void FormRefusesBadNumbers();
    void FormMergeWorkItems();

private:
    QLineEdit *Edit(const char *name) const { return m_form->findChild<QLineEdit *>(name); }
    void ClickSave() { m_form->findChild<QPushButton *>("pushButton_Save")->click(); }
    QStringList Shown() const;

    std::unique_ptr<PatientDetailInfoView> m_form;
    std::vector<Work> m_works;
};

void TestForms::init()
{
    FailOnWarnings();
    m_form = std::make_unique<PatientDetailInfoView>();
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

void TestForms::cleanup()
{
    m_form.reset();
    m_works.clear();
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
}

// Every field's text in the form's order; combo boxes give their current text.
QStringList TestForms::Shown() const
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

void TestForms::DialogColumns_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QStringList>("boxes"); // visible ones, "+" when checked
    // One candidate hides both boxes but keeps them checked: merge the pair or nothing.
    QTest::newRow("one") << 1 << QStringList{"Item", "New", "Old"} << QStringList{};
    QTest::newRow("three") << 3 << QStringList{"Item", "New", "Old", "Old2", "Old3"}
                           << QStringList{"New+", "Old+", "Old2+", "Old3+"};
    QTest::newRow("eight, six shown")
        << 8 << QStringList{"Item", "New", "Old", "Old2", "Old3", "Old4", "Old5", "Old6"}
        << QStringList{"New+", "Old+", "Old2+", "Old3+", "Old4+", "Old5+", "Old6+"};
}

void TestForms::DialogColumns()
{
    QFETCH(int, count);
    QFETCH(QStringList, headers);
    QFETCH(QStringList, boxes);
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewAnna());
    const Chain candidates = NewCandidates(count);
    MergePatientDataDialog dialog;
    dialog.SetPatientList(current.get(), candidates.get());
    auto *table = dialog.findChild<QTableWidget *>("tableWidget_Patient");
    QStringList shownHeaders;
    for (int c = 0; c < table->columnCount(); ++c)
        shownHeaders << table->horizontalHeaderItem(c)->text();
    QCOMPARE(shownHeaders, headers);
    QStringList shownBoxes;
    for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
        if (box->isVisibleTo(&dialog))
            shownBoxes << box->text() + (box->isChecked() ? "+" : "-");
    QCOMPARE(shownBoxes, boxes);

    QList<QUuid> all{current->PatientID};
    for (auto *shown = candidates.get(); shown && all.size() < 7; shown = shown->pNext)
        all << shown->PatientID;
    // A second click chooses afresh rather than adding to the choice.
    auto *merge = dialog.findChild<QPushButton *>("pushButton_Merge");
    merge->click();
    merge->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(TakeChosen(dialog), all);
    QVERIFY(TakeChosen(dialog).isEmpty()); // handed over once only
    // A smaller array gets the first ones; the rest die with the dialog.
    merge->click();
    QCOMPARE(TakeChosen(dialog, 2), all.mid(0, 2));
    QCOMPARE(dialog.GetSelectedPatientIDs(nullptr, 7), 0);
}

void TestForms::DialogColoursAndTexts()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewAnna());
    current->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    current->IdentityType = 2;
    SetRecordText(current->Address, QStringLiteral("Harbour Road 5"));
    Chain candidates(CopyRecord(*current));
    candidates->PatientID = QUuid::createUuid();
    // Differs by a name's letter case, a height 0.01 apart and unknown codes.
    candidates->pNext = NewAnna(QStringLiteral("ANNA"));
    candidates->pNext->Height = 172.26f;
    candidates->pNext->Gender = 7;
    candidates->pNext->PatientType = 3;

    MergePatientDataDialog dialog;
    dialog.SetPatientList(current.get(), candidates.get());
    auto *table = dialog.findChild<QTableWidget *>("tableWidget_Patient");
    auto column = [table](int c) { // texts, "*" marking red, "?" neither red nor black
        QStringList cells;
        for (int row = 0; row < table->rowCount(); ++row) {
            const QColor colour = table->item(row, c)->foreground().color();
            cells << table->item(row, c)->text() + (colour == QColor(255, 0, 0) ? "*"
                                                    : colour == QColor(0, 0, 0) ? ""
                                                                                : "?");
        }
        return cells;
    };
    QCOMPARE(column(1), QStringList({"SN-42", "monitor", "Anna", "Male", "172.25", "0", "", "",
                                     "SIN Card", "", "", "Adult", "0", "Harbour Road 5"}));
    QCOMPARE(column(2), column(1));
    QCOMPARE(column(3), QStringList({"SN-42", "0*", "ANNA*", "*", "172.26*", "0", "", "", "*", "",
                                     "", "Neo*", "0", "*"}));
}

void TestForms::DialogChoosing()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewAnna());
    const Chain candidates = NewCandidates(3);
    const QList<QUuid> kept{candidates->PatientID, candidates->pNext->pNext->PatientID};
    // With "New" and "Old2" unchecked, "Don't Merge", Escape and Return close
    // with nothing chosen; merging reports the first candidate first.
    for (const QString how : {"Don't Merge", "Escape", "Return", "Merge them"}) {
        MergePatientDataDialog dialog;
        dialog.SetPatientList(current.get(), candidates.get());
        dialog.show();
        for (const char *name : {"checkBox_CurrentPatient", "checkBox_Old2"})
            dialog.findChild<QCheckBox *>(name)->setChecked(false);
        if (how == "Escape" || how == "Return")
            QTest::keyClick(&dialog, how == "Escape" ? Qt::Key_Escape : Qt::Key_Return);
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            if (button->text() == how)
                QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(how == "Merge them" ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(TakeChosen(dialog), how == "Merge them" ? kept : QList<QUuid>());
    }

    // Null arguments fill nothing, and merging then chooses nothing.
    MergePatientDataDialog empty;
    empty.SetPatientList(current.get(), nullptr);
    empty.SetPatientList(nullptr, current.get());
    QCOMPARE(empty.findChild<QTableWidget *>()->columnCount(), 0);
    empty.findChild<QPushButton *>("pushButton_Merge")->click();
    QVERIFY(TakeChosen(empty).isEmpty());
}

void TestForms::FormShowClearAndSaveWithoutPatient()
{
    STU_DB_PATIENT_LIST *monitor = NewAnna(QStringLiteral("Rosa Lind"));
    monitor->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    monitor->Gender = 2;
    monitor->IdentityType = 1;
    monitor->PatientType = 3;
    PatientData::GetInstance()->SetCurrentPatientAndNotify(monitor);
    QCOMPARE(Shown(), QStringList({"SN-42", "monitor", "Rosa Lind", "Female", "172.25", "0", "", "",
                                   "ID Card", "", "", "Neo", "0", ""}));
    const QUuid id = monitor->PatientID;
    PatientData::GetInstance()->ClearPatientData(&id);
    QCOMPARE(Shown(), QStringList(14, QString()));

    // With no patient left, Save only asks for one.
    ModalWatcher watcher;
    ClickSave();
    QCOMPARE(watcher.MessageBoxes(),
             QStringList({SaveBox + "Please select a patient to modify detail information!"}));
    QVERIFY(m_works.empty());
}

void TestForms::FormSaveBuildsRecord()
{
    STU_DB_PATIENT_LIST *current = NewAnna(QStringLiteral("Rosa Lind"));
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
    ModalWatcher watcher;
    ClickSave();

    QCOMPARE(m_works.size(), size_t(1));
    QVERIFY(m_works[0].record && !m_works[0].removed);
    QVERIFY(m_works[0].record.get() != PatientData::GetInstance()->GetCurrentPatient());
    QCOMPARE(m_works[0].record->PatientID, id);
    // What was saved, shown again.
    PatientData::GetInstance()->SetCurrentPatientAndNotify(m_works[0].record.release());
    QCOMPARE(Shown(), QStringList({"SN-42", "9", "Bertram Quill", "Female", "181.5", "65.25",
                                   QString(31, QLatin1Char('5')), "", "SIN Card",
                                   QString(63, QLatin1Char('7')), "", "Adult", "70",
                                   QString(255, QLatin1Char('x'))}));
    // The confirmation waits for the service's search answer.
    QVERIFY(watcher.MessageBoxes().isEmpty());
}

void TestForms::FormRefusesBadNumbers_data()
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

void TestForms::FormRefusesBadNumbers()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    PatientData::GetInstance()->SetCurrentPatientAndNotify(NewAnna());
    Edit(qPrintable(field))->setText(text);
    ModalWatcher watcher;
    ClickSave();
    QCOMPARE(m_works.size(), size_t(refusal.isEmpty() ? 1 : 0));
    QCOMPARE(watcher.MessageBoxes(),
             refusal.isEmpty() ? QStringList() : QStringList(SaveBox + refusal));
    QCOMPARE(Edit(qPrintable(field))->text(), text);
}

void TestForms::FormMergeWorkItems()
{
    STU_DB_PATIENT_LIST *current = NewAnna();
    const QUuid currentId = current->PatientID;
    PatientData::GetInstance()->SetCurrentPatient(current);
    const std::unique_ptr<STU_DB_PATIENT_LIST> saved(CopyRecord(*current));
    // Offers the list; the dialog, if one is expected, is closed with the button.
    auto offer = [&](Chain list, const char *button) {
        m_works.clear();
        ModalWatcher watcher;
        m_form->ExpectMergeCandidates(*saved);
        if (button)
            watcher.AddDialogAction(
                [button](QDialog *dialog) { dialog->findChild<QPushButton *>(button)->click(); });
        m_form->OnSearchPatientToMergeSucc(list.release());
        QCOMPARE(watcher.DialogsSeen(), button ? 1 : 0);
        QCOMPARE(watcher.MessageBoxes(),
                 QStringList({SaveBox + "Save patient detail information successfully!"}));
    };

    // Three chosen: two work items, both keeping the saved patient, each with
    // its own copy of its UUID.
    Chain list = NewCandidates(2);
    const QList<QUuid> removed{list->PatientID, list->pNext->PatientID};
    offer(std::move(list), "pushButton_Merge");
    QCOMPARE(m_works.size(), size_t(2));
    for (const Work &work : m_works) {
        QCOMPARE(work.type, uint(DB_WORK_MERGE_PATIENT_DATA));
        QCOMPARE(*work.remaining, currentId);
    }
    QVERIFY(m_works[0].remaining != m_works[1].remaining);
    QCOMPARE(QList<QUuid>({*m_works[0].removed, *m_works[1].removed}), removed);

    // "Don't Merge" sends nothing; with no candidates, or another patient or
    // none current by the time they come (the list is freed all the same),
    // the confirmation comes alone.
    offer(NewCandidates(2), "pushButton_Cancel");
    QVERIFY(m_works.empty());
    offer(nullptr, nullptr);
    PatientData::GetInstance()->SetCurrentPatient(NewAnna());
    offer(NewCandidates(2), nullptr);
    PatientData::GetInstance()->SetCurrentPatient(nullptr);
    offer(NewCandidates(2), nullptr);
    QVERIFY(m_works.empty());
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"

#include "MergePatientDataDialog.h"
#include "ModalWatcher.h"
#include "PatientData.h"
#include "PatientDetailInfoView.h"
#include "RecordChainPtr.h"
#include "TestRecords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
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

// Anna 1 to Anna <count>, aged 10 * i, so that each column shows whose it is.
Chain NewCandidates(int count)
{
    RecordChainBuilder<STU_DB_PATIENT_LIST> chain;
    for (int i = 1; i <= count; ++i) {
        STU_DB_PATIENT_LIST *anna = NewAnna(QStringLiteral("Anna %1").arg(i));
        anna->Age = 10 * i;
        chain.Append(anna);
    }
    return Chain(chain.Release());
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
template <typename T> std::unique_ptr<T> Take(quintptr param)
{
    return std::unique_ptr<T>(reinterpret_cast<T *>(param));
}

// Answers each question with the next scripted button text and each message box with OK;
// records the text of each, for a question with its default and Escape buttons.
struct QuestionAnswerer : QTimer
{
    explicit QuestionAnswerer(QStringList answers) : answers(std::move(answers))
    {
        connect(this, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            const bool question = box->buttons().size() > 1;
            const QString keys =
                question ? "|" + box->defaultButton()->text() + "|" + box->escapeButton()->text()
                         : "";
            seen << box->text() + keys; // a question's Return and Escape buttons
            const QString answer = question ? this->answers.takeFirst() : "OK";
            for (QAbstractButton *button : box->buttons())
                if (button->text() == answer)
                    button->click();
        });
        start(10);
    }
    QStringList answers, seen;
};

const QString Question = "This patient's details have been changed but not saved. Do you want to "
                         "save them?|Cancel|Cancel";

} // namespace

// The merge dialog alone, and the detail form with the model; the test plays the service.
class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FailOnWarnings();
        m_form = std::make_unique<PatientDetailInfoView>();
        PatientData *model = PatientData::GetInstance();
        connect(model, &PatientData::OnPatientDetailInfoChanged, m_form.get(),
                &PatientDetailInfoView::OnPatientDetailInfoChanged);
        connect(model, &PatientData::OnClearPatientData, m_form.get(),
                &PatientDetailInfoView::Clear);
        connect(m_form.get(), &PatientDetailInfoView::AddDatabaseWork, this,
                [this](uint type, quintptr wParam, quintptr lParam) {
                    const bool update = type == DB_WORK_UPDATE_PATIENT;
                    m_works.push_back({type, update ? Take<STU_DB_PATIENT_LIST>(wParam) : nullptr,
                                       update ? nullptr : Take<QUuid>(wParam),
                                       Take<QUuid>(lParam)});
                });
    }
    void cleanup()
    {
        m_form.reset();
        m_works.clear();
        PatientData::GetInstance()->SetCurrentPatient(nullptr);
    }
    void DialogColumns_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("headers");  // and, but for one candidate, its boxes
        QTest::addColumn<QList<int>>("unchecked"); // then unchecked by the user
        QTest::addColumn<QString>("outcome");      // the words, then the age after the merge
        const QString name = "Anna %1 (SN SN-42, ID 0)", anna = "Anna (SN SN-42, ID 0)";
        const QString merged = "%1 remains; %2 will be merged into it and removed.|%3";
        // None (or no current patient) fills nothing, and merging then chooses nothing.
        QTest::newRow("none") << 0 << QStringList() << QList<int>() << QString();
        // One candidate hides both boxes but keeps them checked: merge the pair or nothing.
        // The remaining patient's empty age is filled; where both have one, his own stays.
        QTest::newRow("one") << 1 << QStringList{"Item", "New", "Old"} << QList<int>()
                             << merged.arg(anna, name.arg(1), "10");
        QTest::newRow("three, New and Old2 unchecked")
            << 3 << QStringList{"Item", "New", "Old", "Old2", "Old3"} << QList<int>{0, 2}
            << merged.arg(name.arg(1), name.arg(3), "10");
        QTest::newRow("three, Old2 alone")
            << 3 << QStringList{"Item", "New", "Old", "Old2", "Old3"} << QList<int>{0, 1, 3}
            << "Fewer than two patients are chosen: nothing will be merged.|";
        QTest::newRow("eight, six shown")
            << 8 << QStringList{"Item", "New", "Old", "Old2", "Old3", "Old4", "Old5", "Old6"}
            << QList<int>() << QString();
    }
    void DialogColumns()
    {
        QFETCH(int, count);
        QFETCH(QStringList, headers);
        QFETCH(QList<int>, unchecked);
        QFETCH(QString, outcome);
        const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewAnna());
        const Chain candidates = NewCandidates(count);
        MergePatientDataDialog dialog;
        if (count == 0)
            dialog.SetPatientList(nullptr, current.get());
        dialog.SetPatientList(current.get(), candidates.get());
        auto *table = dialog.findChild<QTableWidget *>("tableWidget_Patient");
        QStringList shown, boxes;
        for (int c = 0; c < table->columnCount(); ++c)
            shown << table->horizontalHeaderItem(c)->text();
        // The current patient, who is kept, under New; the candidates in their order.
        for (int c = 1; c < table->columnCount() - 1; ++c)
            QCOMPARE(table->item(2, c)->text(),
                     c == 1 ? "Anna" : QStringLiteral("Anna %1").arg(c - 1));
        for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
            if (box->isVisibleTo(&dialog))
                boxes << box->text() + (box->isChecked() ? "+" : "-");
        QCOMPARE(shown, count ? headers + QStringList("After Merge") : headers);
        if (count > 0) // an empty dialog's boxes choose nothing, shown or not
            QCOMPARE(boxes, count == 1
                                ? QStringList()
                                : headers.mid(1).replaceInStrings(QRegularExpression("$"), "+"));

        QList<QUuid> chosen;
        if (count > 0)
            chosen << current->PatientID;
        for (auto *shown = candidates.get(); shown && chosen.size() < 7; shown = shown->pNext)
            chosen << shown->PatientID;
        for (int i : unchecked) {
            dialog.findChildren<QCheckBox *>().at(i)->setChecked(false);
            chosen[i] = QUuid();
        }
        chosen.removeAll(QUuid());
        if (!outcome.isEmpty())
            QCOMPARE(dialog.findChild<QLabel *>("label_Outcome")->text() + '|' +
                         table->item(12, table->columnCount() - 1)->text(),
                     outcome);
        // A second click chooses afresh rather than adding to the choice.
        auto *merge = dialog.findChild<QPushButton *>("pushButton_Merge");
        merge->click();
        merge->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(TakeChosen(dialog), chosen);
        QVERIFY(TakeChosen(dialog).isEmpty()); // handed over once only
        // A smaller array gets the first ones; the rest die with the dialog.
        merge->click();
        QCOMPARE(TakeChosen(dialog, 2), chosen.mid(0, 2));
        QCOMPARE(dialog.GetSelectedPatientIDs(nullptr, 7), 0);
    }
    void FormShowSaveAndClear()
    {
        STU_DB_PATIENT_LIST *current = NewAnna(QStringLiteral("Rosa Lind"));
        current->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
        current->Gender = 2;
        current->IdentityType = 1;
        current->PatientType = 3;
        current->Weight = 65.5f;
        current->Age = 51;
        const QUuid id = current->PatientID;
        PatientData::GetInstance()->SetCurrentPatientAndNotify(current);
        QCOMPARE(Shown(), QStringList({"SN-42", "monitor", "Rosa Lind", "Female", "172.25", "65.5",
                                       "", "", "ID Card", "", "", "Neo", "51", ""}));

        // The identity comes from the model, never from the read-only widgets.
        Edit("lineEdit_SN")->setText(QStringLiteral("SN-other"));
        Edit("lineEdit_ID")->setText(QStringLiteral("77"));
        Edit("lineEdit_Name")->clear();
        QTest::keyClicks(Edit("lineEdit_Name"), QStringLiteral("Bertram Quill"));
        Edit("lineEdit_Age")->setText(QStringLiteral(" 70 "));
        Edit("lineEdit_Height")->setText(QStringLiteral("181.5"));
        Edit("lineEdit_Weight")->setText(QStringLiteral("65,25"));
        m_form->findChild<QComboBox *>("comboBox_Gender")->setCurrentIndex(1);
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
        // What was saved, shown again; the confirmation waits for the service's search answer.
        PatientData::GetInstance()->SetCurrentPatientAndNotify(m_works[0].record.release());
        QCOMPARE(Shown(), QStringList({"SN-42", "monitor", "Bertram Quill", "Male", "181.5",
                                       "65.25", QString(31, QLatin1Char('5')), "", "ID Card",
                                       QString(63, QLatin1Char('7')), "", "Neo", "70",
                                       QString(255, QLatin1Char('x'))}));

        // Cleared, the form is empty, and Save only asks for a patient.
        PatientData::GetInstance()->ClearPatientData(&id);
        QCOMPARE(Shown(), QStringList(14, QString()));
        ClickSave();
        QCOMPARE(watcher.MessageBoxes(),
                 QStringList({SaveBox + "Please select a patient to modify detail information!"}));
        QCOMPARE(m_works.size(), size_t(1));
    }
    // A value no patient can have is refused by field name and range, not stored; the text stays.
    void FormRefusesImplausibleValues()
    {
        using Strings = QStringList;
        const std::tuple<const char *, QString, Strings, Strings> fields[] = {
            {"Age", "a whole number from 0 to 150 for Age", {"150"}, {"151", "-1", "70.5"}},
            {"Weight",
             "a number from 0.2 to 400 for Weight(kg)",
             {"0,2"},
             {"0.19", "400.5", "inf"}},
            {"Height", "a number from 20 to 250 for Height(cm)", {"250", ""}, {"19.9", "tall"}},
            {"Mobile",
             "digits, spaces or dashes, with an optional leading +, for Mobile",
             {"+49 170-555 12"},
             {"hello", "12+3", "+"}}};
        for (const auto &[field, refusal, accepted, refused] : fields)
            for (const QString &text : accepted + refused) {
                PatientData::GetInstance()->SetCurrentPatientAndNotify(NewAnna());
                // Numbers never given (0) show as empty fields.
                QCOMPARE(Edit("lineEdit_Weight")->text() + Edit("lineEdit_Age")->text(), "");
                Edit(QByteArray("lineEdit_") + field)->setText(text);
                m_works.clear();
                QuestionAnswerer answerer({});
                ClickSave();
                const bool ok = accepted.contains(text);
                QCOMPARE(m_works.size(), size_t(ok));
                QCOMPARE(answerer.seen, ok ? Strings() : Strings("Please enter " + refusal + "!"));
                QCOMPARE(Edit(QByteArray("lineEdit_") + field)->text(), text);
            }
    }
    // Unsaved edits are asked about before the form is left; saved or newly shown, they are not.
    void FormAsksBeforeEditsAreLeft()
    {
        PatientData::GetInstance()->SetCurrentPatientAndNotify(NewAnna());
        auto leave = [this](const QStringList &answers, bool expected, const QStringList &seen) {
            QuestionAnswerer answerer(answers);
            QCOMPARE(m_form->ConfirmLeave(), expected);
            QCOMPARE(answerer.seen, seen);
        };
        leave({}, true, {});
        Edit("lineEdit_Name")->setText("Bea");
        leave({"Cancel"}, false, {Question});
        // Save refused by a value stays; Save sent counts as saved; Discard restores it.
        Edit("lineEdit_Age")->setText("151");
        leave({"Save"}, false, {Question, "Please enter a whole number from 0 to 150 for Age!"});
        Edit("lineEdit_Age")->setText("51");
        leave({"Save"}, true, {Question});
        QCOMPARE(GetRecordText(m_works.at(0).record->Name), "Bea");
        leave({}, true, {});
        Edit("lineEdit_Age")->clear();
        leave({"Discard"}, true, {Question});
        QCOMPARE(Edit("lineEdit_Age")->text(), "51");
        // Another patient shown starts without edits.
        Edit("lineEdit_Doctor")->setText("Dr. Ott");
        PatientData::GetInstance()->SetCurrentPatientAndNotify(NewAnna("Cleo"));
        leave({}, true, {});
    }
    // A newer record of the patient being edited takes the untouched fields only.
    void FormKeepsEditsOverNewerRecord()
    {
        const std::unique_ptr<STU_DB_PATIENT_LIST> newer(NewAnna());
        PatientData::GetInstance()->SetCurrentPatientAndNotify(CopyRecord(*newer));
        Edit("lineEdit_Name")->setText("Bea");
        Edit("lineEdit_Height")->setText("180");
        newer->Age = 40;
        newer->Height = 175.0f;
        QuestionAnswerer answerer({"Discard"});
        PatientData::GetInstance()->SetCurrentPatientAndNotify(CopyRecord(*newer));
        QCOMPARE(Shown().mid(2, 3) << Edit("lineEdit_Age")->text(),
                 QStringList({"Bea", "Male", "180", "40"}));
        // Told of the field changed on both sides; Discard comes back to the newer record.
        QVERIFY(m_form->ConfirmLeave());
        QCOMPARE(answerer.seen,
                 QStringList({"While you were editing, this patient's details were changed "
                              "elsewhere: Height(cm). Your edits are kept; Save stores them over "
                              "those changes.",
                              Question}));
        QCOMPARE(Shown().mid(2, 3), QStringList({"Anna", "Male", "175"}));
    }
    void FormMergeWorkItems()
    {
        STU_DB_PATIENT_LIST *current = NewAnna();
        const QUuid currentId = current->PatientID;
        PatientData::GetInstance()->SetCurrentPatient(current);
        const std::unique_ptr<STU_DB_PATIENT_LIST> saved(CopyRecord(*current));
        // Offers the list; the dialog, if one is expected, is closed with that button or key.
        auto offer = [&](Chain list, const QString &how) {
            m_works.clear();
            ModalWatcher watcher;
            m_form->ExpectMergeCandidates(*saved);
            if (!how.isEmpty())
                watcher.AddDialogAction([how](QDialog *dialog) {
                    if (how == "Escape" || how == "Return")
                        QTest::keyClick(dialog, how == "Escape" ? Qt::Key_Escape : Qt::Key_Return);
                    for (QPushButton *button : dialog->findChildren<QPushButton *>())
                        if (button->text() == how)
                            button->click();
                });
            m_form->OnSearchPatientToMergeSucc(list.release());
            QCOMPARE(watcher.DialogsSeen(), how.isEmpty() ? 0 : 1);
            QCOMPARE(watcher.MessageBoxes(),
                     QStringList({SaveBox + "Save patient detail information successfully!"}));
        };

        // Three chosen: two work items keeping the saved patient, each with its own UUID copy.
        Chain list = NewCandidates(2);
        const QList<QUuid> removed{list->PatientID, list->pNext->PatientID};
        offer(std::move(list), "Merge them");
        QCOMPARE(m_works.size(), size_t(2));
        for (const Work &work : m_works) {
            QCOMPARE(work.type, uint(DB_WORK_MERGE_PATIENT_DATA));
            QCOMPARE(*work.remaining, currentId);
        }
        QVERIFY(m_works[0].remaining != m_works[1].remaining);
        QCOMPARE(QList<QUuid>({*m_works[0].removed, *m_works[1].removed}), removed);

        // "Don't Merge", the default, Escape and Return send nothing; with no candidates, or
        // another or no patient current when they come (the list is freed), only the confirmation.
        for (const char *how : {"Don't Merge", "Escape", "Return"}) {
            offer(NewCandidates(2), how);
            QVERIFY(m_works.empty());
        }
        offer(nullptr, {});
        PatientData::GetInstance()->SetCurrentPatient(NewAnna());
        offer(NewCandidates(2), {});
        PatientData::GetInstance()->SetCurrentPatient(nullptr);
        offer(NewCandidates(2), {});
        QVERIFY(m_works.empty());
    }

private:
    QLineEdit *Edit(const char *name) const { return m_form->findChild<QLineEdit *>(name); }
    void ClickSave() { m_form->findChild<QPushButton *>("pushButton_Save")->click(); }
    // Every field's text in the form's order; combo boxes give their current text.
    QStringList Shown() const
    {
        QStringList texts;
        for (QWidget *field : m_form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (auto *edit = qobject_cast<QLineEdit *>(field))
                texts << edit->text();
            else if (auto *combo = qobject_cast<QComboBox *>(field))
                texts << combo->currentText();
        return texts;
    }

    std::unique_ptr<PatientDetailInfoView> m_form;
    std::vector<Work> m_works;
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"

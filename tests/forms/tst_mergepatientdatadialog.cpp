#include "MergePatientDataDialog.h"
#include "ModalWatcher.h"
#include "RecordChainPtr.h"
#include "TestRecords.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

using Chain = RecordChainPtr<STU_DB_PATIENT_LIST>;

STU_DB_PATIENT_LIST *NewAnna(const QString &name = QStringLiteral("Anna"), float height = 172.25f)
{
    STU_DB_PATIENT_LIST *patient = NewPatient(name);
    patient->Gender = 1;
    patient->Height = height;
    patient->PatientType = 1;
    return patient;
}

Chain NewCandidates(int count)
{
    RecordChainBuilder<STU_DB_PATIENT_LIST> chain;
    for (int i = 0; i < count; ++i)
        chain.Append(NewAnna());
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

} // namespace

class TestMergePatientDataDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { FailOnWarnings(); }
    void Columns_data();
    void Columns();
    void ColoursAndTexts();
    void Choosing();
};

void TestMergePatientDataDialog::Columns_data()
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

void TestMergePatientDataDialog::Columns()
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

void TestMergePatientDataDialog::ColoursAndTexts()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewAnna());
    current->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    current->IdentityType = 2;
    SetRecordText(current->Address, QStringLiteral("Harbour Road 5"));
    Chain candidates(CopyRecord(*current));
    candidates->PatientID = QUuid::createUuid();
    // Differs by a name's letter case, a height 0.01 apart and unknown codes.
    candidates->pNext = NewAnna(QStringLiteral("ANNA"), 172.26f);
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
    QCOMPARE(column(1), QStringList({"", "monitor", "Anna", "Male", "172.25", "0", "", "",
                                     "SIN Card", "", "", "Adult", "0", "Harbour Road 5"}));
    QCOMPARE(column(2), column(1));
    QCOMPARE(column(3), QStringList({"", "0*", "ANNA*", "*", "172.26*", "0", "", "", "*", "", "",
                                     "Neo*", "0", "*"}));
}

void TestMergePatientDataDialog::Choosing()
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

QTEST_MAIN(TestMergePatientDataDialog)
#include "tst_mergepatientdatadialog.moc"

#include "MergePatientDataDialog.h"
#include "ModalWatcher.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <array>
#include <memory>
#include <vector>

namespace {

struct ChainDeleter
{
    void operator()(STU_DB_PATIENT_LIST *chain) const { FreeRecordChain(chain); }
};
using Chain = std::unique_ptr<STU_DB_PATIENT_LIST, ChainDeleter>;

STU_DB_PATIENT_LIST *NewPatient(const QString &name, float height = 172.25f)
{
    auto *patient = new STU_DB_PATIENT_LIST;
    patient->PatientID = QUuid::createUuid();
    SetRecordText(patient->DeviceSN, QStringLiteral("SN-0001"));
    patient->IdInDevice = 3;
    SetRecordText(patient->Name, name);
    patient->Gender = 1;
    patient->Height = height;
    patient->Weight = 65.5f;
    patient->PatientType = 1;
    patient->Age = 40;
    return patient;
}

Chain NewCandidates(int count)
{
    STU_DB_PATIENT_LIST *first = nullptr;
    STU_DB_PATIENT_LIST *last = nullptr;
    for (int i = 0; i < count; ++i) {
        STU_DB_PATIENT_LIST *patient = NewPatient(QStringLiteral("Anna"));
        patient->IdInDevice = quint32(10 + i);
        (last ? last->pNext : first) = patient;
        last = patient;
    }
    return Chain(first);
}

const STU_DB_PATIENT_LIST *Nth(const STU_DB_PATIENT_LIST *chain, int n)
{
    while (n-- > 0)
        chain = chain->pNext;
    return chain;
}

// Takes what the dialog hands over, so nothing leaks.
std::vector<std::unique_ptr<QUuid>> TakeChosen(MergePatientDataDialog &dialog, int maxCount = 7)
{
    std::array<QUuid *, 7> ids{};
    const int count = dialog.GetSelectedPatientIDs(ids.data(), maxCount);
    std::vector<std::unique_ptr<QUuid>> taken;
    for (int i = 0; i < count; ++i)
        taken.emplace_back(ids[i]);
    for (int i = count; i < 7; ++i)
        if (ids[i])
            taken.emplace_back(ids[i]); // handed over beyond the count: a fault
    return taken;
}

QCheckBox *Box(MergePatientDataDialog &dialog, const char *name)
{
    return dialog.findChild<QCheckBox *>(QString::fromLatin1(name));
}

QStringList Headers(QTableWidget *table)
{
    QStringList headers;
    for (int c = 0; c < table->columnCount(); ++c)
        headers << table->horizontalHeaderItem(c)->text();
    return headers;
}

QStringList VisibleBoxes(MergePatientDataDialog &dialog)
{
    QStringList texts;
    for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
        if (box->isVisibleTo(&dialog))
            texts << box->text() + (box->isChecked() ? "+" : "-");
    return texts;
}

} // namespace

class TestMergePatientDataDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { FailOnWarnings(); }
    void Construction();
    void OneCandidate();
    void ThreeCandidates();
    void EightCandidates();
    void ColoursAndTexts();
    void UncheckingNew();
    void DontMergeAndEscape();
    void NullArguments();
};

void TestMergePatientDataDialog::Construction()
{
    MergePatientDataDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("Dialog_MergePatientData"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Merge Patient Data"));
    QCOMPARE(dialog.windowFlags(), Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    QCOMPARE(dialog.windowModality(), Qt::WindowModal);
    QVERIFY(dialog.isSizeGripEnabled());
    QCOMPARE(VisibleBoxes(dialog), QStringList({"New+", "Old-"}));
}

void TestMergePatientDataDialog::OneCandidate()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewPatient(QStringLiteral("Anna")));
    const Chain candidates = NewCandidates(1);
    MergePatientDataDialog dialog;
    dialog.SetPatientList(current.get(), candidates.get());
    auto *table = dialog.findChild<QTableWidget *>("tableWidget_Patient");
    QCOMPARE(Headers(table), QStringList({"Item", "New", "Old"}));
    QCOMPARE(table->rowCount(), 14);
    QCOMPARE(table->columnWidth(0), 233);
    // Both boxes are hidden but stay checked: the pair is merged or nothing.
    QVERIFY(VisibleBoxes(dialog).isEmpty());

    dialog.findChild<QPushButton *>("pushButton_Merge")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    auto chosen = TakeChosen(dialog);
    QCOMPARE(chosen.size(), size_t(2));
    QCOMPARE(*chosen[0], current->PatientID);
    QCOMPARE(*chosen[1], candidates->PatientID);
    // Handed over once only.
    QVERIFY(TakeChosen(dialog).empty());
}

void TestMergePatientDataDialog::ThreeCandidates()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewPatient(QStringLiteral("Anna")));
    const Chain candidates = NewCandidates(3);
    MergePatientDataDialog dialog;
    dialog.SetPatientList(current.get(), candidates.get());
    auto *table = dialog.findChild<QTableWidget *>("tableWidget_Patient");
    QCOMPARE(Headers(table), QStringList({"Item", "New", "Old", "Old2", "Old3"}));
    for (int column = 0; column < 4; ++column)
        QCOMPARE(table->columnWidth(column), 140);
    QVERIFY(table->horizontalHeader()->stretchLastSection());
    QCOMPARE(VisibleBoxes(dialog), QStringList({"New+", "Old+", "Old2+", "Old3+"}));
    for (int c = 1; c < 5; ++c) {
        const QUuid id(table->item(0, c)->data(Qt::UserRole).toByteArray());
        QCOMPARE(id, c == 1 ? current->PatientID : Nth(candidates.get(), c - 2)->PatientID);
    }
}

void TestMergePatientDataDialog::EightCandidates()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewPatient(QStringLiteral("Anna")));
    const Chain candidates = NewCandidates(8);
    MergePatientDataDialog dialog;
    dialog.SetPatientList(current.get(), candidates.get());
    auto *table = dialog.findChild<QTableWidget *>("tableWidget_Patient");
    QCOMPARE(Headers(table),
             QStringList({"Item", "New", "Old", "Old2", "Old3", "Old4", "Old5", "Old6"}));
    QCOMPARE(table->columnWidth(0), 87);
    QCOMPARE(VisibleBoxes(dialog).size(), 7);
    QCOMPARE(table->item(1, 7)->text(), QStringLiteral("15"));

    dialog.findChild<QPushButton *>("pushButton_Merge")->click();
    auto chosen = TakeChosen(dialog);
    QCOMPARE(chosen.size(), size_t(7));
    QCOMPARE(*chosen[0], current->PatientID);
    for (int k = 0; k < 6; ++k)
        QCOMPARE(*chosen[k + 1], Nth(candidates.get(), k)->PatientID);

    // A smaller array gets the first ones; the rest die with the dialog.
    dialog.findChild<QPushButton *>("pushButton_Merge")->click();
    auto firstThree = TakeChosen(dialog, 3);
    QCOMPARE(firstThree.size(), size_t(3));
    QCOMPARE(*firstThree[2], candidates->pNext->PatientID);
    QCOMPARE(dialog.GetSelectedPatientIDs(nullptr, 7), 0);
}

void TestMergePatientDataDialog::ColoursAndTexts()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewPatient(QStringLiteral("Anna")));
    current->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    current->IdentityType = 2;
    SetRecordText(current->Address, QStringLiteral("Harbour Road 5"));
    STU_DB_PATIENT_LIST *same = NewPatient(QStringLiteral("Anna"));
    same->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    same->IdentityType = 2;
    SetRecordText(same->Address, QStringLiteral("Harbour Road 5"));
    STU_DB_PATIENT_LIST *other = NewPatient(QStringLiteral("ANNA"), 172.26f);
    other->Gender = 7;
    other->PatientType = 3;
    same->pNext = other;
    const Chain candidates(same);

    MergePatientDataDialog dialog;
    dialog.SetPatientList(current.get(), candidates.get());
    auto *table = dialog.findChild<QTableWidget *>("tableWidget_Patient");
    const QColor red(255, 0, 0);
    const QColor black(0, 0, 0);
    auto colour = [&](int row, int column) {
        return table->item(row, column)->foreground().color();
    };
    auto text = [&](int row, int column) { return table->item(row, column)->text(); };

    QCOMPARE(text(4, 0), QStringLiteral("Height(cm)"));
    QCOMPARE(text(13, 0), QStringLiteral("Address"));
    for (int row = 0; row < 14; ++row) {
        QCOMPARE(colour(row, 1), black);
        QCOMPARE(colour(row, 2), black);
    }
    QCOMPARE(text(1, 1), QStringLiteral("monitor"));
    QCOMPARE(text(3, 1), QStringLiteral("Male"));
    QCOMPARE(text(4, 1), QStringLiteral("172.25"));
    QCOMPARE(text(5, 1), QStringLiteral("65.5"));
    QCOMPARE(text(8, 1), QStringLiteral("SIN Card"));
    QCOMPARE(text(11, 1), QStringLiteral("Adult"));

    QCOMPARE(text(2, 3), QStringLiteral("ANNA"));
    QCOMPARE(colour(2, 3), red);
    QCOMPARE(text(4, 3), QStringLiteral("172.26"));
    QCOMPARE(colour(4, 3), red);
    QCOMPARE(colour(5, 3), black);
    QCOMPARE(text(1, 3), QStringLiteral("3"));
    QCOMPARE(colour(1, 3), red);
    QCOMPARE(text(3, 3), QString());
    QCOMPARE(colour(3, 3), red);
    QCOMPARE(text(8, 3), QString());
    QCOMPARE(text(11, 3), QStringLiteral("Neo"));
    QCOMPARE(text(13, 3), QString());
    QCOMPARE(colour(13, 3), red);
    QCOMPARE(colour(12, 3), black);
}

void TestMergePatientDataDialog::UncheckingNew()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewPatient(QStringLiteral("Anna")));
    const Chain candidates = NewCandidates(2);
    MergePatientDataDialog dialog;
    dialog.SetPatientList(current.get(), candidates.get());
    Box(dialog, "checkBox_CurrentPatient")->setChecked(false);
    dialog.findChild<QPushButton *>("pushButton_Merge")->click();
    auto chosen = TakeChosen(dialog);
    QCOMPARE(chosen.size(), size_t(2));
    QCOMPARE(*chosen[0], candidates->PatientID);
    QCOMPARE(*chosen[1], candidates->pNext->PatientID);
}

void TestMergePatientDataDialog::DontMergeAndEscape()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewPatient(QStringLiteral("Anna")));
    const Chain candidates = NewCandidates(3);
    ModalWatcher watcher;

    {
        MergePatientDataDialog dialog;
        dialog.SetPatientList(current.get(), candidates.get());
        watcher.AddDialogAction([](QDialog *shown) {
            shown->findChild<QCheckBox *>("checkBox_CurrentPatient")->setChecked(false);
            shown->findChild<QCheckBox *>("checkBox_Old2")->setChecked(false);
            shown->findChild<QPushButton *>("pushButton_Cancel")->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(TakeChosen(dialog).empty());
    }
    {
        MergePatientDataDialog dialog;
        dialog.SetPatientList(current.get(), candidates.get());
        watcher.AddDialogAction([](QDialog *shown) { QTest::keyClick(shown, Qt::Key_Escape); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(TakeChosen(dialog).empty());
    }
    {
        // Merge through the real event loop, after a box was unchecked.
        MergePatientDataDialog dialog;
        dialog.SetPatientList(current.get(), candidates.get());
        watcher.AddDialogAction([](QDialog *shown) {
            shown->findChild<QCheckBox *>("checkBox_Old2")->setChecked(false);
            QTest::mouseClick(shown->findChild<QPushButton *>("pushButton_Merge"), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        auto chosen = TakeChosen(dialog);
        QCOMPARE(chosen.size(), size_t(3));
        QCOMPARE(*chosen[2], Nth(candidates.get(), 2)->PatientID);
    }
    QCOMPARE(watcher.DialogsSeen(), 3);
}

void TestMergePatientDataDialog::NullArguments()
{
    const std::unique_ptr<STU_DB_PATIENT_LIST> current(NewPatient(QStringLiteral("Anna")));
    MergePatientDataDialog dialog;
    dialog.SetPatientList(current.get(), nullptr);
    dialog.SetPatientList(nullptr, current.get());
    auto *table = dialog.findChild<QTableWidget *>("tableWidget_Patient");
    QCOMPARE(table->columnCount(), 0);
    // Merging without a filled table chooses nothing and does not crash.
    dialog.findChild<QPushButton *>("pushButton_Merge")->click();
    QVERIFY(TakeChosen(dialog).empty());
}

QTEST_MAIN(TestMergePatientDataDialog)
#include "tst_mergepatientdatadialog.moc"

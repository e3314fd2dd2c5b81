#include "MergePatientDataDialog.h"

#include "LongButtonStyle.h"
#include "PatientCodeWords.h"
#include "PatientValueRules.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

// One table row per patient field, in this order.
enum PatientRow
{
    RowDeviceSN,
    RowID,
    RowName,
    RowGender,
    RowHeight,
    RowWeight,
    RowMobile,
    RowDoctor,
    RowIdentityType,
    RowIdentityCode,
    RowSocietyCode,
    RowPatientType,
    RowAge,
    RowAddress,
    RowCount
};

constexpr const char *RowNames[RowCount] = {
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Device SN"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "ID"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Name"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Gender"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Height(cm)"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Weight(kg)"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Mobile"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Doctor"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Identity Type"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Identity Code"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Society Code"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Patient Type"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Age"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Address")};

// Column headers and check box texts of the candidates, in column order.
constexpr const char *CandidateHeaders[MergePatientDataDialog::MaxCandidates] = {
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Old"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Old2"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Old3"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Old4"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Old5"),
    QT_TRANSLATE_NOOP("MergePatientDataDialog", "Old6")};

constexpr const char *CheckBoxNames[MergePatientDataDialog::MaxChosen] = {
    "checkBox_CurrentPatient", "checkBox_Old1", "checkBox_Old2", "checkBox_Old3",
    "checkBox_Old4",           "checkBox_Old5", "checkBox_Old6"};

constexpr int TableWidth = 700;
constexpr double FloatTolerance = 1e-6;
constexpr int FirstPatientColumn = 1;

bool FloatsDiffer(float a, float b)
{
    return std::fabs(double(a) - double(b)) > FloatTolerance;
}

} // namespace

MergePatientDataDialog::MergePatientDataDialog(QWidget *parent) : QDialog(parent)
{
    SetupUi();
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    for (int i = 2; i < MaxChosen; ++i)
        m_checkBoxes[i]->hide();
    connect(pushButton_Merge, &QPushButton::clicked, this,
            &MergePatientDataDialog::OnMergeButtonClicked);
    connect(pushButton_Cancel, &QPushButton::clicked, this, &MergePatientDataDialog::reject);
}

// UUIDs chosen but never handed over die with the dialog.
MergePatientDataDialog::~MergePatientDataDialog() = default;

void MergePatientDataDialog::SetupUi()
{
    setObjectName(QStringLiteral("Dialog_MergePatientData"));
    resize(772, 593);
    setWindowModality(Qt::WindowModal);
    setContextMenuPolicy(Qt::NoContextMenu);
    setSizeGripEnabled(true);

    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setMinimumSize(QSize(0, 32));
    verticalLayout->addWidget(label);

    tableWidget_Patient = new QTableWidget(this);
    tableWidget_Patient->setObjectName(QStringLiteral("tableWidget_Patient"));
    verticalLayout->addWidget(tableWidget_Patient);
    label_Outcome = new QLabel(this);
    label_Outcome->setObjectName(QStringLiteral("label_Outcome"));
    label_Outcome->setMinimumSize(QSize(0, 32));
    label_Outcome->setWordWrap(true);
    verticalLayout->addWidget(label_Outcome);

    horizontalLayout_CheckBox = new QHBoxLayout();
    horizontalLayout_CheckBox->setObjectName(QStringLiteral("horizontalLayout_CheckBox"));
    for (int i = 0; i < MaxChosen; ++i) {
        m_checkBoxes[i] = NewCheckBox(CheckBoxNames[i]);
        horizontalLayout_CheckBox->addWidget(m_checkBoxes[i]);
        connect(m_checkBoxes[i], &QCheckBox::toggled, this, [this] { ShowOutcome(); });
    }
    m_checkBoxes[0]->setChecked(true);
    horizontalLayout_CheckBox->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout->addLayout(horizontalLayout_CheckBox);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    pushButton_Merge = new QPushButton(this);
    pushButton_Merge->setObjectName(QStringLiteral("pushButton_Merge"));
    pushButton_Cancel = new QPushButton(this);
    pushButton_Cancel->setObjectName(QStringLiteral("pushButton_Cancel"));
    for (QPushButton *button : {pushButton_Merge, pushButton_Cancel}) {
        button->setMinimumSize(QSize(192, 32));
        button->setStyleSheet(LongButtonStyleSheet());
        horizontalLayout->addWidget(button);
    }
    // A merge cannot be undone: Return must not do it. It takes a click on
    // "Merge them", or Space while that button has the focus.
    pushButton_Merge->setAutoDefault(false);
    pushButton_Cancel->setDefault(true);
    verticalLayout->addLayout(horizontalLayout);

    RetranslateUi();
}

QCheckBox *MergePatientDataDialog::NewCheckBox(const char *objectName)
{
    auto *box = new QCheckBox(this);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setMinimumSize(QSize(96, 32));
    return box;
}

void MergePatientDataDialog::RetranslateUi()
{
    const char *context = "Dialog_MergePatientData";
    setWindowTitle(QCoreApplication::translate(context, "Merge Patient Data"));
    label->setText(QCoreApplication::translate(
        context, "The following patient may be the same one, do you merge them now?"));
    m_checkBoxes[0]->setText(QCoreApplication::translate(context, "New"));
    for (int i = 1; i < MaxChosen; ++i)
        m_checkBoxes[i]->setText(QCoreApplication::translate(context, CandidateHeaders[i - 1]));
    pushButton_Merge->setText(QCoreApplication::translate(context, "Merge them"));
    pushButton_Cancel->setText(QCoreApplication::translate(context, "Don't Merge"));
}

void MergePatientDataDialog::SetPatientList(const STU_DB_PATIENT_LIST *current,
                                            const STU_DB_PATIENT_LIST *candidates)
{
    if (!current || !candidates)
        return;

    QStringList headers{tr("Item"), tr("New")};
    const STU_DB_PATIENT_LIST *shown[MaxCandidates] = {};
    int shownCount = 0;
    for (const STU_DB_PATIENT_LIST *candidate = candidates; candidate && shownCount < MaxCandidates;
         candidate = candidate->pNext) {
        headers << tr(CandidateHeaders[shownCount]);
        m_checkBoxes[shownCount + 1]->setVisible(true);
        m_checkBoxes[shownCount + 1]->setChecked(true);
        shown[shownCount++] = candidate;
    }

    // With a single candidate the only choice left is merging the pair or not.
    if (headers.size() == 3) {
        m_checkBoxes[0]->hide();
        m_checkBoxes[1]->hide();
    }

    m_iPatientCount = shownCount + 1;
    SetupTable(headers << tr("After Merge"));
    FillColumn(FirstPatientColumn, *current, *current);
    for (int k = 0; k < shownCount; ++k)
        FillColumn(FirstPatientColumn + 1 + k, *shown[k], *current);
    ShowOutcome();
    tableWidget_Patient->viewport()->update();
}

void MergePatientDataDialog::SetupTable(const QStringList &headers)
{
    const int columns = int(headers.size());
    tableWidget_Patient->clear();
    tableWidget_Patient->setColumnCount(columns);
    tableWidget_Patient->setHorizontalHeaderLabels(headers);
    for (int column = 0; column < columns; ++column)
        tableWidget_Patient->setColumnWidth(column, TableWidth / columns);
    tableWidget_Patient->horizontalHeader()->setStretchLastSection(true);
    tableWidget_Patient->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_Patient->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget_Patient->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_Patient->setShowGrid(true);

    tableWidget_Patient->setRowCount(RowCount);
    for (int row = 0; row < RowCount; ++row)
        tableWidget_Patient->setItem(row, 0, new QTableWidgetItem(tr(RowNames[row])));
}

void MergePatientDataDialog::FillColumn(int column, const STU_DB_PATIENT_LIST &patient,
                                        const STU_DB_PATIENT_LIST &current)
{
    auto text = [](const auto &field) { return GetRecordText(field); };
    auto textCell = [&](int row, const auto &field, const auto &currentField) {
        SetCell(row, column, text(field), text(field) != text(currentField));
    };
    auto codeCell = [&](int row, QString (*word)(qint32), qint32 code, qint32 currentCode) {
        SetCell(row, column, word(code), code != currentCode);
    };

    textCell(RowDeviceSN, patient.DeviceSN, current.DeviceSN);
    SetCell(RowID, column, PatientCodeWords::IdInDevice(patient.IdInDevice),
            patient.IdInDevice != current.IdInDevice);
    textCell(RowName, patient.Name, current.Name);
    codeCell(RowGender, &PatientCodeWords::Gender, patient.Gender, current.Gender);
    SetCell(RowHeight, column, PatientValueRules::NumberText(double(patient.Height)),
            FloatsDiffer(patient.Height, current.Height));
    SetCell(RowWeight, column, PatientValueRules::NumberText(double(patient.Weight)),
            FloatsDiffer(patient.Weight, current.Weight));
    textCell(RowMobile, patient.Mobile, current.Mobile);
    textCell(RowDoctor, patient.Doctor, current.Doctor);
    codeCell(RowIdentityType, &PatientCodeWords::IdentityType, patient.IdentityType,
             current.IdentityType);
    textCell(RowIdentityCode, patient.IdentityCode, current.IdentityCode);
    textCell(RowSocietyCode, patient.SocietyCode, current.SocietyCode);
    codeCell(RowPatientType, &PatientCodeWords::PatientType, patient.PatientType,
             current.PatientType);
    SetCell(RowAge, column, PatientValueRules::NumberText(patient.Age), patient.Age != current.Age);
    textCell(RowAddress, patient.Address, current.Address);

    // The merge button finds each column's patient through this value.
    tableWidget_Patient->item(RowDeviceSN, column)
        ->setData(Qt::UserRole, patient.PatientID.toByteArray());
}

void MergePatientDataDialog::SetCell(int row, int column, const QString &text, bool differs)
{
    auto *item = new QTableWidgetItem(text);
    item->setForeground(differs ? QColor(255, 0, 0) : QColor(0, 0, 0));
    tableWidget_Patient->setItem(row, column, item);
}

// The first chosen patient remains and every other chosen one is merged into
// it, in column order; a detail the remaining patient lacks is taken from the
// first of them that has it. Device SN and ID stay the remaining patient's.
void MergePatientDataDialog::ShowOutcome()
{
    if (m_iPatientCount == 0)
        return; // not filled yet
    QList<int> chosen;
    for (int i = 0; i < m_iPatientCount; ++i)
        if (m_checkBoxes[i]->isChecked())
            chosen << FirstPatientColumn + i;
    const int outcomeColumn = FirstPatientColumn + m_iPatientCount;
    for (int row = 0; row < RowCount; ++row) {
        QString text;
        for (int k = 0; k < chosen.size() && chosen.size() >= 2 && text.isEmpty(); ++k)
            if (k == 0 || row > RowID)
                text = tableWidget_Patient->item(row, chosen[k])->text();
        SetCell(row, outcomeColumn, text, false);
    }
    if (chosen.size() < 2) {
        label_Outcome->setText(tr("Fewer than two patients are chosen: nothing will be merged."));
        return;
    }
    QStringList removed;
    for (int k = 1; k < chosen.size(); ++k)
        removed << PatientName(chosen[k]);
    label_Outcome->setText(tr("%1 remains; %2 will be merged into it and removed.")
                               .arg(PatientName(chosen[0]), removed.join(QStringLiteral(", "))));
}

QString MergePatientDataDialog::PatientName(int column) const
{
    auto text = [&](int row) { return tableWidget_Patient->item(row, column)->text(); };
    return text(RowName).isEmpty()
               ? tr("SN %1, ID %2").arg(text(RowDeviceSN), text(RowID))
               : tr("%1 (SN %2, ID %3)").arg(text(RowName), text(RowDeviceSN), text(RowID));
}

void MergePatientDataDialog::OnMergeButtonClicked()
{
    // A second click starts the choice afresh instead of adding to it.
    ClearChosen();
    for (int i = 0; i < MaxChosen; ++i) {
        if (!m_checkBoxes[i]->isChecked())
            continue;
        const QTableWidgetItem *item =
            tableWidget_Patient->item(RowDeviceSN, FirstPatientColumn + i);
        if (!item)
            continue;
        m_chosenIDs[m_iChosenCount++] =
            std::make_unique<QUuid>(QUuid::fromString(item->data(Qt::UserRole).toByteArray()));
    }
    accept();
}

int MergePatientDataDialog::GetSelectedPatientIDs(QUuid **ids, int maxCount)
{
    if (!ids || maxCount <= 0)
        return 0;
    const int count = qMin(maxCount, m_iChosenCount);
    for (int i = 0; i < count; ++i)
        ids[i] = m_chosenIDs[i].release();
    // Handed over once: a later call must not give the same objects again.
    ClearChosen();
    return count;
}

void MergePatientDataDialog::ClearChosen()
{
    for (auto &id : m_chosenIDs)
        id.reset();
    m_iChosenCount = 0;
}

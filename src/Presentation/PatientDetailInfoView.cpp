#include "PatientDetailInfoView.h"

#include "LongButtonStyle.h"
#include "MergePatientDataDialog.h"
#include "PatientCodeWords.h"
#include "PatientData.h"
#include "PatientValueRules.h"
#include "RecordChainPtr.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>

#include <array>
#include <memory>

namespace {

// Longest text each record field holds: one unit of its capacity stays for
// the terminating zero.
constexpr int MaxTextLength(std::size_t fieldBytes)
{
    return int(fieldBytes / sizeof(char16_t)) - 1;
}

// The editable fields are the form's rows 3 to 14, in record order.
constexpr int kFirstEditableRow = 3;
constexpr int kEditableCount = 12;

// A field's value as text: a combo box gives its index.
QString FieldText(const QWidget *field)
{
    if (const auto *combo = qobject_cast<const QComboBox *>(field))
        return QString::number(combo->currentIndex());
    return static_cast<const QLineEdit *>(field)->text();
}

void SetFieldText(QWidget *field, const QString &text)
{
    if (auto *combo = qobject_cast<QComboBox *>(field))
        combo->setCurrentIndex(text.toInt());
    else
        static_cast<QLineEdit *>(field)->setText(text);
}

// What the editable fields show for a record, in row order.
QStringList RecordTexts(const STU_DB_PATIENT_LIST &p)
{
    using PatientValueRules::NumberText;
    return {GetRecordText(p.Name),
            QString::number(p.Gender),
            NumberText(double(p.Height)),
            NumberText(double(p.Weight)),
            GetRecordText(p.Mobile),
            GetRecordText(p.Doctor),
            QString::number(p.IdentityType),
            GetRecordText(p.IdentityCode),
            GetRecordText(p.SocietyCode),
            QString::number(p.PatientType),
            NumberText(p.Age),
            GetRecordText(p.Address)};
}

// A refused value takes the field's name and what it accepts.
struct ValueCheck
{
    QLineEdit *edit;
    bool bValid;
    const char *refusal;
};

double Number(const QString &text, const PatientValueRules::NumberRange &range)
{
    double value = 0.0;
    PatientValueRules::ReadNumber(text, range, value);
    return value;
}

} // namespace

PatientDetailInfoView::PatientDetailInfoView(QWidget *parent) : QWidget(parent)
{
    SetupUi();
    connect(pushButton_Save, &QPushButton::clicked, this,
            &PatientDetailInfoView::OnSaveButtonClicked);
}

PatientDetailInfoView::~PatientDetailInfoView() = default;

void PatientDetailInfoView::SetupUi()
{
    setObjectName(QStringLiteral("PatientInfoView"));
    resize(810, 736);

    horizontalLayout = new QHBoxLayout(this);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->addItem(
        new QSpacerItem(133, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    formLayout = new QFormLayout();
    formLayout->setObjectName(QStringLiteral("formLayout"));
    formLayout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    label_SN = NewLabel("label_SN");
    label_SN->setMinimumSize(QSize(200, 32));
    lineEdit_SN = NewLineEdit("lineEdit_SN", MaxTextLength(sizeof(STU_DB_PATIENT_LIST::DeviceSN)));
    lineEdit_SN->setMinimumSize(QSize(300, 32));
    lineEdit_ID = NewLineEdit("lineEdit_ID", 0);
    for (QLineEdit *deviceField : {lineEdit_SN, lineEdit_ID}) {
        deviceField->setReadOnly(true);
        deviceField->setFrame(false);
    }
    AddLabelledRow(0, label_SN, lineEdit_SN);
    label_ID = NewLabel("label_ID");
    AddLabelledRow(1, label_ID, lineEdit_ID);
    // At most the drawn gap: growing, it took all the height a tall window has
    // to spare; on a short page it gives way first.
    formLayout->setItem(2, QFormLayout::FieldRole,
                        new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Maximum));

    AddPatientRows();

    pushButton_Save = new QPushButton(this);
    pushButton_Save->setObjectName(QStringLiteral("pushButton_Save"));
    pushButton_Save->setMinimumSize(QSize(0, 32));
    pushButton_Save->setStyleSheet(LongButtonStyleSheet());
    formLayout->setWidget(15, QFormLayout::FieldRole, pushButton_Save);

    horizontalLayout->addLayout(formLayout);
    horizontalLayout->addItem(
        new QSpacerItem(133, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

    RetranslateUi();
}

// The patient's own fields, from row 3 down: a text field (its length the
// record's) or a choice of coded words each.
void PatientDetailInfoView::AddPatientRows()
{
    using Self = PatientDetailInfoView;
    constexpr auto kNoEdit = static_cast<QLineEdit * Self::*>(nullptr);
    constexpr auto kNoChoice = static_cast<QComboBox * Self::*>(nullptr);
    using P = STU_DB_PATIENT_LIST;
    const struct
    {
        const char *field;
        QLabel *Self::*label;
        QLineEdit *Self::*edit;
        int maxLength;
        QComboBox *Self::*choice;
        QStringList (*items)();
    } rows[] = {{"Name", &Self::label_Name, &Self::lineEdit_Name, MaxTextLength(sizeof(P::Name)),
                 kNoChoice, nullptr},
                {"Gender", &Self::label_Gender, kNoEdit, 0, &Self::comboBox_Gender,
                 &PatientCodeWords::GenderItems},
                {"Height", &Self::label_Height, &Self::lineEdit_Height, 0, kNoChoice, nullptr},
                {"Weight", &Self::label_Weight, &Self::lineEdit_Weight, 0, kNoChoice, nullptr},
                {"Mobile", &Self::label_Mobile, &Self::lineEdit_Mobile,
                 MaxTextLength(sizeof(P::Mobile)), kNoChoice, nullptr},
                {"Doctor", &Self::label_Doctor, &Self::lineEdit_Doctor,
                 MaxTextLength(sizeof(P::Doctor)), kNoChoice, nullptr},
                {"IdentityType", &Self::label_IdentityType, kNoEdit, 0,
                 &Self::comboBox_IdentityType, &PatientCodeWords::IdentityTypeItems},
                {"IdentityCode", &Self::label_IdentityCode, &Self::lineEdit_IdentityCode,
                 MaxTextLength(sizeof(P::IdentityCode)), kNoChoice, nullptr},
                {"SocietyCode", &Self::label_SocietyCode, &Self::lineEdit_SocietyCode,
                 MaxTextLength(sizeof(P::SocietyCode)), kNoChoice, nullptr},
                {"PatientType", &Self::label_PatientType, kNoEdit, 0, &Self::comboBox_PatientType,
                 &PatientCodeWords::PatientTypeItems},
                {"Age", &Self::label_Age, &Self::lineEdit_Age, 0, kNoChoice, nullptr},
                {"Address", &Self::label_Address, &Self::lineEdit_Address,
                 MaxTextLength(sizeof(P::Address)), kNoChoice, nullptr}};
    int row = 3;
    for (const auto &r : rows) {
        const QByteArray field(r.field);
        this->*r.label = NewLabel(("label_" + field).constData());
        QWidget *widget = nullptr;
        if (r.edit)
            widget = this->*r.edit = NewLineEdit(("lineEdit_" + field).constData(), r.maxLength);
        else
            widget = this->*r.choice = NewComboBox(("comboBox_" + field).constData(), r.items());
        AddLabelledRow(row++, this->*r.label, widget);
    }
}

void PatientDetailInfoView::AddLabelledRow(int row, QLabel *label, QWidget *field)
{
    formLayout->setWidget(row, QFormLayout::LabelRole, label);
    formLayout->setWidget(row, QFormLayout::FieldRole, field);
}

QLabel *PatientDetailInfoView::NewLabel(const char *objectName)
{
    auto *label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setMinimumSize(QSize(0, 32));
    return label;
}

// maxLength 0 keeps the line edit's own limit (numbers and read-only fields).
QLineEdit *PatientDetailInfoView::NewLineEdit(const char *objectName, int maxLength)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setMinimumSize(QSize(0, 32));
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    return edit;
}

QComboBox *PatientDetailInfoView::NewComboBox(const char *objectName, const QStringList &items)
{
    auto *combo = new QComboBox(this);
    combo->setObjectName(QString::fromLatin1(objectName));
    combo->setMinimumSize(QSize(0, 32));
    combo->addItems(items);
    return combo;
}

void PatientDetailInfoView::RetranslateUi()
{
    auto tr = [](const char *text) { return QCoreApplication::translate("PatientInfoView", text); };
    setWindowTitle(tr("PatientInfoView"));
    label_SN->setText(tr("Device SN:"));
    label_ID->setText(tr("ID:"));
    label_Name->setText(tr("Name:"));
    label_Gender->setText(tr("Gender:"));
    label_Height->setText(tr("Height(cm):"));
    label_Weight->setText(tr("Weight(kg):"));
    label_Mobile->setText(tr("Mobile:"));
    label_Doctor->setText(tr("Doctor:"));
    label_IdentityType->setText(tr("Identity Type:"));
    label_IdentityCode->setText(tr("Identity Code:"));
    label_SocietyCode->setText(tr("Society Code:"));
    label_PatientType->setText(tr("Patient Type:"));
    label_Age->setText(tr("Age:"));
    label_Address->setText(tr("Address:"));
    pushButton_Save->setText(tr("Save"));
}

void PatientDetailInfoView::OnPatientDetailInfoChanged()
{
    const STU_DB_PATIENT_LIST *patient = PatientData::GetInstance()->GetCurrentPatient();
    if (!patient)
        Clear();
    else if (m_shown && m_shown->PatientID == patient->PatientID && HasUnsavedEdits())
        KeepEditsOver(*patient);
    else
        ShowPatient(*patient);
}

void PatientDetailInfoView::ShowPatient(const STU_DB_PATIENT_LIST &patient)
{
    // patient may be the shown record itself (Discard).
    std::unique_ptr<STU_DB_PATIENT_LIST> shown(CopyRecord(patient));
    lineEdit_SN->setText(GetRecordText(shown->DeviceSN));
    lineEdit_ID->setText(PatientCodeWords::IdInDevice(shown->IdInDevice));
    SetEditableTexts(RecordTexts(*shown));
    m_shown = std::move(shown);
    m_shownTexts = EditableTexts();
}

// A newer record of the patient being edited, from an import or another
// workstation: what the user has not touched takes the new values, his edits
// stay unsaved, and Discard comes back to the new record. He is told only
// when a field he edited was also changed elsewhere.
void PatientDetailInfoView::KeepEditsOver(const STU_DB_PATIENT_LIST &patient)
{
    const QStringList edited = EditableTexts();
    const QStringList before = m_shownTexts;
    ShowPatient(patient);
    QStringList kept = m_shownTexts;
    QStringList changedBoth;
    for (int i = 0; i < kEditableCount; ++i) {
        if (edited[i] == before[i])
            continue;
        if (kept[i] != before[i] && kept[i] != edited[i])
            changedBoth << EditableFieldName(i);
        kept[i] = edited[i];
    }
    SetEditableTexts(kept);
    if (!changedBoth.isEmpty())
        ShowSaveMessage(tr("While you were editing, this patient's details were changed "
                           "elsewhere: %1. Your edits are kept; Save stores them over those "
                           "changes.")
                            .arg(changedBoth.join(QStringLiteral(", "))));
}

QWidget *PatientDetailInfoView::EditableField(int i) const
{
    return formLayout->itemAt(kFirstEditableRow + i, QFormLayout::FieldRole)->widget();
}

QString PatientDetailInfoView::EditableFieldName(int i) const
{
    const auto *label = static_cast<const QLabel *>(
        formLayout->itemAt(kFirstEditableRow + i, QFormLayout::LabelRole)->widget());
    QString name = label->text();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name;
}

QStringList PatientDetailInfoView::EditableTexts() const
{
    QStringList texts;
    for (int i = 0; i < kEditableCount; ++i)
        texts << FieldText(EditableField(i));
    return texts;
}

void PatientDetailInfoView::SetEditableTexts(const QStringList &texts)
{
    for (int i = 0; i < kEditableCount; ++i)
        SetFieldText(EditableField(i), texts[i]);
}

bool PatientDetailInfoView::HasUnsavedEdits() const
{
    return m_shown && EditableTexts() != m_shownTexts;
}

void PatientDetailInfoView::Clear()
{
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        edit->clear();
    for (QComboBox *combo : {comboBox_Gender, comboBox_IdentityType, comboBox_PatientType})
        combo->setCurrentIndex(0);
    m_shown.reset();
    m_shownTexts = EditableTexts();
}

void PatientDetailInfoView::OnSaveButtonClicked()
{
    Save();
}

bool PatientDetailInfoView::Save()
{
    const STU_DB_PATIENT_LIST *current = PatientData::GetInstance()->GetCurrentPatient();
    if (!current) {
        ShowSaveMessage(tr("Please select a patient to modify detail information!"));
        return false;
    }
    if (!CheckValues())
        return false;
    STU_DB_PATIENT_LIST *record = BuildEditedRecord(*current);
    // What is sent counts as saved: a failed update is only logged, and
    // Discard comes back to these values.
    m_shown.reset(CopyRecord(*record));
    m_shownTexts = EditableTexts();
    emit AddDatabaseWork(DB_WORK_UPDATE_PATIENT, reinterpret_cast<quintptr>(record), 0);
    return true;
}

// A value no patient can have is refused with the field's name and what it
// accepts rather than stored. The field keeps its text and gets the focus.
bool PatientDetailInfoView::CheckValues()
{
    using namespace PatientValueRules;
    double number = 0.0;
    const ValueCheck checks[] = {
        {lineEdit_Height, ReadNumber(lineEdit_Height->text(), Height, number),
         QT_TR_NOOP("Please enter a number from 20 to 250 for Height(cm)!")},
        {lineEdit_Weight, ReadNumber(lineEdit_Weight->text(), Weight, number),
         QT_TR_NOOP("Please enter a number from 0.2 to 400 for Weight(kg)!")},
        {lineEdit_Mobile, IsMobileNumber(lineEdit_Mobile->text()),
         QT_TR_NOOP("Please enter digits, spaces or dashes, with an optional leading +, for "
                    "Mobile!")},
        {lineEdit_Age, ReadNumber(lineEdit_Age->text(), Age, number),
         QT_TR_NOOP("Please enter a whole number from 0 to 150 for Age!")}};
    for (const ValueCheck &check : checks) {
        if (check.bValid)
            continue;
        const QPointer<QLineEdit> field(check.edit);
        ShowSaveMessage(tr(check.refusal));
        if (field) {
            field->setFocus();
            field->selectAll();
        }
        return false;
    }
    return true;
}

// The identity comes from the model, never from the read-only widgets.
STU_DB_PATIENT_LIST *
PatientDetailInfoView::BuildEditedRecord(const STU_DB_PATIENT_LIST &current) const
{
    auto *record = new STU_DB_PATIENT_LIST;
    record->PatientID = current.PatientID;
    std::copy(std::begin(current.DeviceSN), std::end(current.DeviceSN), record->DeviceSN);
    record->IdInDevice = current.IdInDevice;

    SetRecordText(record->Name, lineEdit_Name->text());
    record->Gender = comboBox_Gender->currentIndex();
    record->Height = float(Number(lineEdit_Height->text(), PatientValueRules::Height));
    record->Weight = float(Number(lineEdit_Weight->text(), PatientValueRules::Weight));
    SetRecordText(record->Mobile, lineEdit_Mobile->text());
    SetRecordText(record->Doctor, lineEdit_Doctor->text());
    record->IdentityType = comboBox_IdentityType->currentIndex();
    SetRecordText(record->IdentityCode, lineEdit_IdentityCode->text());
    SetRecordText(record->SocietyCode, lineEdit_SocietyCode->text());
    record->PatientType = comboBox_PatientType->currentIndex();
    record->Age = qint32(Number(lineEdit_Age->text(), PatientValueRules::Age));
    SetRecordText(record->Address, lineEdit_Address->text());
    return record;
}

void PatientDetailInfoView::ExpectMergeCandidates(const STU_DB_PATIENT_LIST &saved)
{
    m_pendingSaved.emplace_back(CopyRecord(saved));
}

void PatientDetailInfoView::ConfirmSave()
{
    ShowSaveMessage(tr("Save patient detail information successfully!"));
}

void PatientDetailInfoView::OnSearchPatientToMergeSucc(STU_DB_PATIENT_LIST *pPatientList)
{
    const RecordChainPtr<STU_DB_PATIENT_LIST> candidates(pPatientList);
    std::unique_ptr<STU_DB_PATIENT_LIST> saved;
    if (!m_pendingSaved.empty()) {
        saved = std::move(m_pendingSaved.front());
        m_pendingSaved.pop_front();
    }
    // Once the user has moved on to another patient, merging would file the
    // look-alikes under whoever is shown now: no offer then.
    const STU_DB_PATIENT_LIST *current = PatientData::GetInstance()->GetCurrentPatient();
    const bool bStillShown = saved && current && current->PatientID == saved->PatientID;
    const QPointer<PatientDetailInfoView> guard(this);
    if (candidates && bStillShown)
        OfferMerge(*saved, candidates.get());
    if (guard)
        ConfirmSave();
}

void PatientDetailInfoView::OfferMerge(const STU_DB_PATIENT_LIST &current,
                                       const STU_DB_PATIENT_LIST *candidates)
{
    auto *dialog = new MergePatientDataDialog(this);
    const QPointer<MergePatientDataDialog> guard(dialog);
    dialog->SetPatientList(&current, candidates);
    dialog->exec();
    // The form, and the dialog with it, may have gone while the dialog ran.
    if (!guard)
        return;
    const std::unique_ptr<MergePatientDataDialog> owner(dialog);

    std::array<QUuid *, MergePatientDataDialog::MaxChosen> ids{};
    const int count = dialog->GetSelectedPatientIDs(ids.data(), int(ids.size()));
    const std::unique_ptr<QUuid> remaining(count > 0 ? ids[0] : nullptr);
    for (int i = 1; i < count; ++i)
        emit AddDatabaseWork(DB_WORK_MERGE_PATIENT_DATA,
                             reinterpret_cast<quintptr>(new QUuid(*remaining)),
                             reinterpret_cast<quintptr>(ids[i]));
}

void PatientDetailInfoView::ShowSaveMessage(const QString &text)
{
    QMessageBox::information(this, tr("Save Patient Information"), text);
}

bool PatientDetailInfoView::ConfirmLeave()
{
    if (!HasUnsavedEdits())
        return true;
    auto *box = new QMessageBox(
        QMessageBox::Question, tr("Save Patient Information"),
        tr("This patient's details have been changed but not saved. Do you want to save them?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box->setDefaultButton(QMessageBox::Cancel);
    box->setEscapeButton(QMessageBox::Cancel);
    const QPointer<QMessageBox> guard(box);
    const int answer = box->exec();
    if (!guard)
        return false; // the form went while the question was open
    delete box;
    if (answer == QMessageBox::Save)
        return Save();
    if (answer == QMessageBox::Discard)
        ShowPatient(*m_shown);
    return answer == QMessageBox::Discard;
}

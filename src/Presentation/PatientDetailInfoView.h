#pragma once

#include <QWidget>
#include <QtGlobal>

#include "DatabaseRecords.h"

#include <deque>
#include <memory>

class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;

// The first page of the main window's view stack: shows every particular of
// the current patient, saves the edited ones as a database update and, once
// the service has looked for look-alike patients, offers to merge them.
class PatientDetailInfoView : public QWidget
{
    Q_OBJECT

public:
    explicit PatientDetailInfoView(QWidget *parent = nullptr);
    ~PatientDetailInfoView() override;

    // The record just saved, sent with a search for its look-alikes: the next
    // search answer is compared with this record (a copy is kept), and a merge
    // is offered only while its patient is still the current one.
    void ExpectMergeCandidates(const STU_DB_PATIENT_LIST &saved);
    // Tells the user the save is done ("Save patient detail information
    // successfully!").
    void ConfirmSave();
    // Before the form is left (another patient, page, Import, closing): with
    // unsaved edits asks Save / Discard / Cancel. False means stay where you are.
    bool ConfirmLeave();

signals:
    // A database work item. Pointers in wParam/lParam are created with new
    // here and owned by the receiver from the emit on: work 3 carries a new
    // patient record in wParam, work 14 a new QUuid in each parameter.
    void AddDatabaseWork(uint iWorkType, quintptr wParam, quintptr lParam);

public slots:
    void OnSaveButtonClicked();
    void OnPatientDetailInfoChanged();
    void Clear();
    // Takes ownership of the candidate chain (null when none was found).
    void OnSearchPatientToMergeSucc(STU_DB_PATIENT_LIST *pPatientList);

private:
    void SetupUi();
    void AddPatientRows();
    void AddLabelledRow(int row, QLabel *label, QWidget *field);
    QLineEdit *NewLineEdit(const char *objectName, int maxLength);
    QComboBox *NewComboBox(const char *objectName, const QStringList &items);
    QLabel *NewLabel(const char *objectName);
    void RetranslateUi();
    void ShowPatient(const STU_DB_PATIENT_LIST &patient);
    void KeepEditsOver(const STU_DB_PATIENT_LIST &patient);
    QWidget *EditableField(int i) const;
    QString EditableFieldName(int i) const;
    QStringList EditableTexts() const;
    void SetEditableTexts(const QStringList &texts);
    bool HasUnsavedEdits() const;
    bool Save();
    STU_DB_PATIENT_LIST *BuildEditedRecord(const STU_DB_PATIENT_LIST &current) const;
    bool CheckValues();
    void OfferMerge(const STU_DB_PATIENT_LIST &current, const STU_DB_PATIENT_LIST *candidates);
    void ShowSaveMessage(const QString &text);

    QHBoxLayout *horizontalLayout = nullptr;
    QFormLayout *formLayout = nullptr;
    QLabel *label_SN = nullptr;
    QLineEdit *lineEdit_SN = nullptr;
    QLabel *label_ID = nullptr;
    QLineEdit *lineEdit_ID = nullptr;
    QLabel *label_Name = nullptr;
    QLineEdit *lineEdit_Name = nullptr;
    QLabel *label_Gender = nullptr;
    QComboBox *comboBox_Gender = nullptr;
    QLabel *label_Height = nullptr;
    QLineEdit *lineEdit_Height = nullptr;
    QLabel *label_Weight = nullptr;
    QLineEdit *lineEdit_Weight = nullptr;
    QLabel *label_Mobile = nullptr;
    QLineEdit *lineEdit_Mobile = nullptr;
    QLabel *label_Doctor = nullptr;
    QLineEdit *lineEdit_Doctor = nullptr;
    QLabel *label_IdentityType = nullptr;
    QComboBox *comboBox_IdentityType = nullptr;
    QLabel *label_IdentityCode = nullptr;
    QLineEdit *lineEdit_IdentityCode = nullptr;
    QLabel *label_SocietyCode = nullptr;
    QLineEdit *lineEdit_SocietyCode = nullptr;
    QLabel *label_PatientType = nullptr;
    QComboBox *comboBox_PatientType = nullptr;
    QLabel *label_Age = nullptr;
    QLineEdit *lineEdit_Age = nullptr;
    QLabel *label_Address = nullptr;
    QLineEdit *lineEdit_Address = nullptr;
    QPushButton *pushButton_Save = nullptr;

    // Saved records whose search answers are still to come, oldest first: the
    // service answers the searches in the order they were sent.
    std::deque<std::unique_ptr<STU_DB_PATIENT_LIST>> m_pendingSaved;
    // The record the fields show (the last one saved, once saved) and the
    // editable fields' texts for it: unsaved edits are what differs from them.
    std::unique_ptr<STU_DB_PATIENT_LIST> m_shown;
    QStringList m_shownTexts;
};

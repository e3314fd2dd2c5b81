#pragma once

#include <QDialog>
#include <QUuid>

#include <array>
#include <memory>

#include "DatabaseRecords.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QVBoxLayout;

// Shows a just-saved patient beside up to six stored look-alikes, marks every
// differing value in red and lets the user choose which of them are the same
// person. As the choice changes it says who remains and who is merged into him,
// and shows what the remaining patient will hold. It sends nothing itself: the caller reads the
// chosen UUIDs after exec() returns.
class MergePatientDataDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxCandidates = 6;
    static constexpr int MaxChosen = MaxCandidates + 1;

    explicit MergePatientDataDialog(QWidget *parent = nullptr);
    ~MergePatientDataDialog() override;

    // Fills the table; keeps no pointer into either argument. Does nothing
    // when either is null.
    void SetPatientList(const STU_DB_PATIENT_LIST *current, const STU_DB_PATIENT_LIST *candidates);

    // Hands the first min(maxCount, chosen) UUIDs, in column order, to the
    // caller, who deletes them; returns their number (0 for a null ids).
    int GetSelectedPatientIDs(QUuid **ids, int maxCount);

public slots:
    void OnMergeButtonClicked();

private:
    void SetupUi();
    QCheckBox *NewCheckBox(const char *objectName);
    void RetranslateUi();
    void SetupTable(const QStringList &headers);
    void FillColumn(int column, const STU_DB_PATIENT_LIST &patient,
                    const STU_DB_PATIENT_LIST &current);
    void SetCell(int row, int column, const QString &text, bool differs);
    void ShowOutcome();
    QString PatientName(int column) const;
    void ClearChosen();

    QVBoxLayout *verticalLayout = nullptr;
    QLabel *label = nullptr;
    QTableWidget *tableWidget_Patient = nullptr;
    QLabel *label_Outcome = nullptr;
    QHBoxLayout *horizontalLayout_CheckBox = nullptr;
    std::array<QCheckBox *, MaxChosen> m_checkBoxes{};
    QHBoxLayout *horizontalLayout = nullptr;
    QPushButton *pushButton_Merge = nullptr;
    QPushButton *pushButton_Cancel = nullptr;

    std::array<std::unique_ptr<QUuid>, MaxChosen> m_chosenIDs;
    int m_iChosenCount = 0;
    // Patient columns filled: the saved patient and the shown candidates.
    int m_iPatientCount = 0;
};

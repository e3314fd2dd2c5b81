#pragma once

#include <QWidget>

class QLabel;
class QTableView;
class QVBoxLayout;
class QHBoxLayout;
struct STU_DB_NIBP_DATA_LIST;
struct STU_DB_SPO2_DATA_LIST;
struct STU_DB_TEMP_DATA_LIST;
template <typename Record> class TrendTableModel;

// The "Table" page: the current patient's NIBP, SpO2 and temperature records
// as three read-only tables, oldest first until the user sorts a table by a
// column (a click on its header). It keeps nothing of its own: each table's
// model reads PatientData's chain and is given it anew whenever the model
// says that chain has been replaced.
class TrendTableView : public QWidget
{
    Q_OBJECT

public:
    explicit TrendTableView(QWidget *parent = nullptr);
    ~TrendTableView() override;

    QTableView *NIBPTable() const { return m_NIBPTable; }
    QTableView *SPO2Table() const { return m_SPO2Table; }
    QTableView *TEMPTable() const { return m_TEMPTable; }

public slots:
    void OnPatientNIBPDataChanged();
    void OnPatientSPO2DataChanged();
    void OnPatientTEMPDataChanged();
    void OnClearPatientData();

private:
    void SetupUi();
    void RetranslateUi();
    void ApplyTableSettings(QTableView *pTable);
    template <typename Record>
    QTableView *CreateTable(const char *pName, TrendTableModel<Record> *&pModel);
    template <typename Record>
    static void Refill(QTableView *pTable, TrendTableModel<Record> *pModel, const Record *pChain);

    QVBoxLayout *verticalLayout_4 = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QLabel *label = nullptr;
    QLabel *label_2 = nullptr;
    QLabel *label_3 = nullptr;
    QTableView *m_NIBPTable = nullptr;
    QTableView *m_SPO2Table = nullptr;
    QTableView *m_TEMPTable = nullptr;
    TrendTableModel<STU_DB_NIBP_DATA_LIST> *m_pNIBPModel = nullptr;
    TrendTableModel<STU_DB_SPO2_DATA_LIST> *m_pSPO2Model = nullptr;
    TrendTableModel<STU_DB_TEMP_DATA_LIST> *m_pTEMPModel = nullptr;
};

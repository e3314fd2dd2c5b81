#pragma once

#include <QWidget>

class QLabel;
class QTableWidget;
class QVBoxLayout;
class QHBoxLayout;
class QSpacerItem;

// The "Table" page: the current patient's NIBP, SpO2 and temperature records
// as three read-only tables, oldest first. It keeps nothing of its own and
// rebuilds a table from PatientData's chain whenever the model says that
// chain has been replaced.
class TrendTableView : public QWidget
{
    Q_OBJECT

public:
    explicit TrendTableView(QWidget *parent = nullptr);
    ~TrendTableView() override;

    QTableWidget *NIBPTable() const { return m_NIBPTable; }
    QTableWidget *SPO2Table() const { return m_SPO2Table; }
    QTableWidget *TEMPTable() const { return m_TEMPTable; }

public slots:
    void OnPatientNIBPDataChanged();
    void OnPatientSPO2DataChanged();
    void OnPatientTEMPDataChanged();
    void OnClearPatientData();

private:
    void SetupUi();
    void RetranslateUi();
    void ApplyTableSettings(QTableWidget *pTable);
    QTableWidget *CreateTable(const char *pName, int iColumns);

    static void SetHeaderTexts(QTableWidget *pTable, const QStringList &titles);
    static void EmptyTable(QTableWidget *pTable);
    static void PrepareTable(QTableWidget *pTable, const QStringList &headers,
                             const QList<int> &widths, int iRows);

    QVBoxLayout *verticalLayout_4 = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QLabel *label = nullptr;
    QLabel *label_2 = nullptr;
    QLabel *label_3 = nullptr;
    QTableWidget *m_NIBPTable = nullptr;
    QTableWidget *m_SPO2Table = nullptr;
    QTableWidget *m_TEMPTable = nullptr;
};

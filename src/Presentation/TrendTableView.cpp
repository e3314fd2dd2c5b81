#include "TrendTableView.h"

#include "DatabaseRecords.h"
#include "PatientData.h"
#include "SharedColumnWidths.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpacerItem>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kTableHeight = 250;
const char *const kTimeFormat = "yyyy-MM-dd hh:mm:ss";

// The columns of each table: header text and drawn width. Before its first
// refill the NIBP table names its pulse column in capitals, like the SpO2
// table; every refill sets the texts given here.
struct Column
{
    const char *pTitle;
    int iWidth;
    const char *pFirstTitle;
};
const Column kNIBPColumns[] = {
    {"Time", 320, nullptr}, {"Sys", 120, nullptr}, {"Dia", 120, nullptr},
    {"Mean", 120, nullptr}, {"Pr", 120, "PR"},
};
const Column kSPO2Columns[] = {
    {"Time", 200, nullptr}, {"SPO2", 100, nullptr}, {"PR", 100, nullptr}};
const Column kTEMPColumns[] = {{"Time", 240, nullptr}, {"Temp", 160, nullptr}};

template <size_t N>
QStringList Titles(const Column (&columns)[N], const char *pContext, bool bFirst)
{
    QStringList titles;
    for (const Column &column : columns) {
        const char *pTitle = bFirst && column.pFirstTitle ? column.pFirstTitle : column.pTitle;
        titles << QCoreApplication::translate(pContext, pTitle);
    }
    return titles;
}

template <size_t N> QList<int> Widths(const Column (&columns)[N])
{
    QList<int> widths;
    for (const Column &column : columns) {
        widths << column.iWidth;
    }
    return widths;
}

QSpacerItem *VerticalSpacer()
{
    return new QSpacerItem(20, 53, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

QString TimeText(const QDateTime &time)
{
    return time.toString(QLatin1String(kTimeFormat));
}

QTableWidgetItem *Cell(const QString &text)
{
    return new QTableWidgetItem(text);
}

QTableWidgetItem *Cell(quint16 value)
{
    return new QTableWidgetItem(QString::number(value));
}

// Float to double, then 'g' with the default precision: 36.6f shows as 36.6.
QTableWidgetItem *Cell(float value)
{
    return new QTableWidgetItem(QString("%1").arg(static_cast<double>(value)));
}

template <typename Record> int ChainLength(const Record *pRecord)
{
    int iCount = 0;
    for (; pRecord != nullptr; pRecord = pRecord->pNext) {
        ++iCount;
    }
    return iCount;
}

void FillRow(QTableWidget *pTable, int iRow, const STU_DB_NIBP_DATA_LIST *pRecord)
{
    pTable->setItem(iRow, 0, Cell(TimeText(pRecord->MeasureTime)));
    pTable->setItem(iRow, 1, Cell(pRecord->SysValue));
    pTable->setItem(iRow, 2, Cell(pRecord->DiaValue));
    pTable->setItem(iRow, 3, Cell(pRecord->MeanValue));
    pTable->setItem(iRow, 4, Cell(pRecord->PrValue));
}

void FillRow(QTableWidget *pTable, int iRow, const STU_DB_SPO2_DATA_LIST *pRecord)
{
    pTable->setItem(iRow, 0, Cell(TimeText(pRecord->MeasureTime)));
    pTable->setItem(iRow, 1, Cell(pRecord->SPO2Value));
    pTable->setItem(iRow, 2, Cell(pRecord->PrValue));
}

void FillRow(QTableWidget *pTable, int iRow, const STU_DB_TEMP_DATA_LIST *pRecord)
{
    pTable->setItem(iRow, 0, Cell(TimeText(pRecord->MeasureTime)));
    pTable->setItem(iRow, 1, Cell(pRecord->TempValue));
}

// One row per record in chain order, the oldest on top.
template <typename Record> void FillRows(QTableWidget *pTable, const Record *pRecord)
{
    for (int iRow = 0; pRecord != nullptr; pRecord = pRecord->pNext, ++iRow) {
        FillRow(pTable, iRow, pRecord);
    }
}

} // namespace

TrendTableView::TrendTableView(QWidget *parent) : QWidget(parent)
{
    SetupUi();
    ApplyTableSettings(m_NIBPTable);
    ApplyTableSettings(m_SPO2Table);
    ApplyTableSettings(m_TEMPTable);
}

TrendTableView::~TrendTableView()
{
    EmptyTable(m_NIBPTable);
    EmptyTable(m_SPO2Table);
    EmptyTable(m_TEMPTable);
}

QTableWidget *TrendTableView::CreateTable(const char *pName, int iColumns)
{
    auto *pTable = new QTableWidget(this);
    pTable->setObjectName(QLatin1String(pName));
    pTable->setColumnCount(iColumns);
    for (int i = 0; i < iColumns; ++i) {
        pTable->setHorizontalHeaderItem(i, new QTableWidgetItem());
    }
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    pTable->setSizePolicy(policy);
    pTable->setMinimumHeight(kTableHeight);
    pTable->setMaximumHeight(kTableHeight);
    return pTable;
}

void TrendTableView::SetupUi()
{
    setObjectName(QStringLiteral("TrendTable"));
    resize(751, 814);
    verticalLayout_4 = new QVBoxLayout(this);
    verticalLayout_4->setObjectName(QStringLiteral("verticalLayout_4"));
    verticalLayout_4->addItem(VerticalSpacer());

    verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    verticalLayout->addWidget(label);
    m_NIBPTable = CreateTable("m_NIBPTable", 5);
    verticalLayout->addWidget(m_NIBPTable);
    verticalLayout_4->addLayout(verticalLayout);
    verticalLayout_4->addItem(VerticalSpacer());

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    verticalLayout_2 = new QVBoxLayout();
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    verticalLayout_2->addWidget(label_2);
    m_SPO2Table = CreateTable("m_SPO2Table", 3);
    verticalLayout_2->addWidget(m_SPO2Table);
    horizontalLayout->addLayout(verticalLayout_2);

    verticalLayout_3 = new QVBoxLayout();
    verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    label_3 = new QLabel(this);
    label_3->setObjectName(QStringLiteral("label_3"));
    verticalLayout_3->addWidget(label_3);
    m_TEMPTable = CreateTable("m_TEMPTable", 2);
    verticalLayout_3->addWidget(m_TEMPTable);
    horizontalLayout->addLayout(verticalLayout_3);
    verticalLayout_4->addLayout(horizontalLayout);

    verticalLayout_4->addItem(VerticalSpacer());
    verticalLayout_4->addItem(VerticalSpacer());
    RetranslateUi();
}

void TrendTableView::RetranslateUi()
{
    const auto tr = [](const char *pText) {
        return QCoreApplication::translate("TrendTable", pText);
    };
    setWindowTitle(tr("Form"));
    label->setText(tr("NIBP"));
    label_2->setText(tr("SPO2"));
    label_3->setText(tr("TEMP"));
    SetHeaderTexts(m_NIBPTable, Titles(kNIBPColumns, "TrendTable", true));
    SetHeaderTexts(m_SPO2Table, Titles(kSPO2Columns, "TrendTable", true));
    SetHeaderTexts(m_TEMPTable, Titles(kTEMPColumns, "TrendTable", true));
}

void TrendTableView::SetHeaderTexts(QTableWidget *pTable, const QStringList &titles)
{
    for (int i = 0; i < titles.size(); ++i) {
        pTable->horizontalHeaderItem(i)->setText(titles.at(i));
    }
}

void TrendTableView::ApplyTableSettings(QTableWidget *pTable)
{
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    pTable->horizontalHeader()->setStretchLastSection(true);
}

// Deletes the cells, the rows and the header items: an emptied table shows
// numbered column headers until its next refill sets the texts again.
void TrendTableView::EmptyTable(QTableWidget *pTable)
{
    pTable->clearContents();
    pTable->setRowCount(0);
    pTable->clear();
}

// Empties the table, sets the refill headers and widths, and makes room for
// iRows rows at once: one model change instead of one per record.
void TrendTableView::PrepareTable(QTableWidget *pTable, const QStringList &headers,
                                  const QList<int> &widths, int iRows)
{
    EmptyTable(pTable);
    pTable->setHorizontalHeaderLabels(headers);
    SharedColumnWidths::Apply(pTable, widths);
    pTable->setRowCount(iRows);
}

void TrendTableView::OnPatientNIBPDataChanged()
{
    const STU_DB_NIBP_DATA_LIST *pChain = PatientData::GetInstance()->GetNIBPDataList();
    PrepareTable(m_NIBPTable, Titles(kNIBPColumns, "TrendTableView", false), Widths(kNIBPColumns),
                 ChainLength(pChain));
    FillRows(m_NIBPTable, pChain);
}

void TrendTableView::OnPatientSPO2DataChanged()
{
    const STU_DB_SPO2_DATA_LIST *pChain = PatientData::GetInstance()->GetSPO2DataList();
    PrepareTable(m_SPO2Table, Titles(kSPO2Columns, "TrendTableView", false), Widths(kSPO2Columns),
                 ChainLength(pChain));
    FillRows(m_SPO2Table, pChain);
}

void TrendTableView::OnPatientTEMPDataChanged()
{
    const STU_DB_TEMP_DATA_LIST *pChain = PatientData::GetInstance()->GetTEMPDataList();
    PrepareTable(m_TEMPTable, Titles(kTEMPColumns, "TrendTableView", false), Widths(kTEMPColumns),
                 ChainLength(pChain));
    FillRows(m_TEMPTable, pChain);
}

void TrendTableView::OnClearPatientData()
{
    EmptyTable(m_NIBPTable);
    EmptyTable(m_SPO2Table);
    EmptyTable(m_TEMPTable);
}

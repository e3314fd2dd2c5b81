#include "TrendTableView.h"

#include "DatabaseRecords.h"
#include "PatientData.h"
#include "SharedColumnWidths.h"
#include "TrendTableModel.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpacerItem>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int kTableHeight = 250;

QSpacerItem *VerticalSpacer()
{
    return new QSpacerItem(20, 53, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

} // namespace

TrendTableView::TrendTableView(QWidget *parent) : QWidget(parent)
{
    SetupUi();
    ApplyTableSettings(m_NIBPTable);
    ApplyTableSettings(m_SPO2Table);
    ApplyTableSettings(m_TEMPTable);
}

TrendTableView::~TrendTableView() = default;

template <typename Record>
QTableView *TrendTableView::CreateTable(const char *pName, TrendTableModel<Record> *&pModel)
{
    auto *pTable = new QTableView(this);
    pTable->setObjectName(QLatin1String(pName));
    pModel = new TrendTableModel<Record>(pTable);
    pTable->setModel(pModel);
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
    m_NIBPTable = CreateTable("m_NIBPTable", m_pNIBPModel);
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
    m_SPO2Table = CreateTable("m_SPO2Table", m_pSPO2Model);
    verticalLayout_2->addWidget(m_SPO2Table);
    horizontalLayout->addLayout(verticalLayout_2);

    verticalLayout_3 = new QVBoxLayout();
    verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    label_3 = new QLabel(this);
    label_3->setObjectName(QStringLiteral("label_3"));
    verticalLayout_3->addWidget(label_3);
    m_TEMPTable = CreateTable("m_TEMPTable", m_pTEMPModel);
    verticalLayout_3->addWidget(m_TEMPTable);
    horizontalLayout->addLayout(verticalLayout_3);
    verticalLayout_4->addLayout(horizontalLayout);

    verticalLayout_4->addItem(VerticalSpacer());
    verticalLayout_4->addItem(VerticalSpacer());
    RetranslateUi();
}

// The column headers come from the models, which know the texts of each state.
void TrendTableView::RetranslateUi()
{
    const auto tr = [](const char *pText) {
        return QCoreApplication::translate("TrendTable", pText);
    };
    setWindowTitle(tr("Form"));
    label->setText(tr("NIBP"));
    label_2->setText(tr("SPO2"));
    label_3->setText(tr("TEMP"));
}

// Read-only rows selected whole, one at a time. A click on a column's header
// sorts by it; until then no sort indicator is shown and the chain's order is.
void TrendTableView::ApplyTableSettings(QTableView *pTable)
{
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    QHeaderView *pHeader = pTable->horizontalHeader();
    pHeader->setStretchLastSection(true);
    pHeader->setSortIndicator(-1, Qt::AscendingOrder);
    pHeader->setSortIndicatorShown(true);
    pHeader->setSectionsClickable(true);
    QAbstractItemModel *pModel = pTable->model();
    connect(pHeader, &QHeaderView::sortIndicatorChanged, pModel,
            [pModel](int iColumn, Qt::SortOrder order) { pModel->sort(iColumn, order); });
}

template <typename Record>
void TrendTableView::Refill(QTableView *pTable, TrendTableModel<Record> *pModel,
                            const Record *pChain)
{
    pTable->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    pModel->ShowChain(pChain);
    SharedColumnWidths::Apply(pTable, pModel->ColumnWidths());
}

void TrendTableView::OnPatientNIBPDataChanged()
{
    Refill(m_NIBPTable, m_pNIBPModel, PatientData::GetInstance()->GetNIBPDataList());
}

void TrendTableView::OnPatientSPO2DataChanged()
{
    Refill(m_SPO2Table, m_pSPO2Model, PatientData::GetInstance()->GetSPO2DataList());
}

void TrendTableView::OnPatientTEMPDataChanged()
{
    Refill(m_TEMPTable, m_pTEMPModel, PatientData::GetInstance()->GetTEMPDataList());
}

// The chains are gone: no row may point into them any more.
void TrendTableView::OnClearPatientData()
{
    m_pNIBPModel->Clear();
    m_pSPO2Model->Clear();
    m_pTEMPModel->Clear();
}

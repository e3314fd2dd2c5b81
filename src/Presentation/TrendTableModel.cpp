#include "TrendTableModel.h"

#include "TrendTableColumns.h"

#include <algorithm>

namespace {

constexpr int kStride = 64;

template <typename Record> const QVector<TrendTableColumn> &Columns()
{
    return TrendTableColumns::Of(static_cast<const Record *>(nullptr));
}

} // namespace

template <typename Record>
TrendTableModel<Record>::TrendTableModel(QObject *pParent) : QAbstractTableModel(pParent)
{
}

template <typename Record> void TrendTableModel<Record>::ShowChain(const Record *pHead)
{
    beginResetModel();
    m_pHead = pHead;
    m_iCount = 0;
    m_landmarks.clear();
    std::vector<Row>().swap(m_sorted);
    for (; pHead != nullptr; pHead = pHead->pNext, ++m_iCount) {
        if (m_iCount % kStride == 0) {
            m_landmarks.push_back(pHead);
        }
    }
    m_headers = Headers::Refill;
    endResetModel();
}

template <typename Record> void TrendTableModel<Record>::Clear()
{
    beginResetModel();
    m_pHead = nullptr;
    m_iCount = 0;
    std::vector<const Record *>().swap(m_landmarks);
    std::vector<Row>().swap(m_sorted);
    m_headers = Headers::Numbered;
    endResetModel();
}

template <typename Record> const Record *TrendTableModel<Record>::RecordAt(int iRow) const
{
    if (!m_sorted.empty()) {
        return m_sorted[size_t(iRow)].pRecord;
    }
    const Record *pRecord = m_landmarks[size_t(iRow / kStride)];
    for (int i = iRow % kStride; i > 0; --i) {
        pRecord = pRecord->pNext;
    }
    return pRecord;
}

template <typename Record>
auto TrendTableModel<Record>::RowsInChainOrder() const -> std::vector<Row>
{
    std::vector<Row> rows;
    rows.reserve(size_t(m_iCount));
    int i = 0;
    for (const Record *p = m_pHead; p != nullptr; p = p->pNext) {
        rows.push_back(Row{p, i++});
    }
    return rows;
}

template <typename Record> QList<int> TrendTableModel<Record>::ColumnWidths() const
{
    return TrendTableColumns::Widths(Columns<Record>());
}

template <typename Record> int TrendTableModel<Record>::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_iCount;
}

template <typename Record> int TrendTableModel<Record>::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns<Record>().size();
}

template <typename Record>
QVariant TrendTableModel<Record>::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return QVariant();
    }
    return TrendTableColumns::Text(*RecordAt(index.row()), index.column());
}

// A header without a text shows its number, aligned as a table widget aligns it.
template <typename Record>
QVariant TrendTableModel<Record>::headerData(int section, Qt::Orientation orientation,
                                             int role) const
{
    const bool bTitled = orientation == Qt::Horizontal && m_headers != Headers::Numbered &&
                         section >= 0 && section < columnCount();
    if (bTitled && role == Qt::DisplayRole) {
        return TrendTableColumns::Title(Columns<Record>().at(section), m_headers == Headers::First);
    }
    if (bTitled && role == Qt::InitialSortOrderRole) {
        return int(Qt::AscendingOrder);
    }
    if (!bTitled && role == Qt::TextAlignmentRole) {
        return int(Qt::AlignVCenter);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

template <typename Record>
double TrendTableModel<Record>::SortKey(const Row &row, int iColumn) const
{
    return iColumn == 0 ? double(row.iChainIndex) : TrendTableColumns::Value(*row.pRecord, iColumn);
}

template <typename Record> void TrendTableModel<Record>::sort(int iColumn, Qt::SortOrder order)
{
    if (iColumn < 0 || iColumn >= columnCount()) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    if (m_sorted.empty()) {
        m_sorted = RowsInChainOrder();
    }
    const QModelIndexList before = persistentIndexList();
    std::vector<int> heldRecords;
    for (const QModelIndex &index : before) {
        heldRecords.push_back(m_sorted[size_t(index.row())].iChainIndex);
    }
    const bool bDescending = order == Qt::DescendingOrder;
    std::stable_sort(m_sorted.begin(), m_sorted.end(), [&](const Row &a, const Row &b) {
        const double keyA = SortKey(a, iColumn);
        const double keyB = SortKey(b, iColumn);
        if (keyA != keyB) {
            return bDescending ? keyA > keyB : keyA < keyB;
        }
        return a.iChainIndex < b.iChainIndex;
    });
    std::vector<int> rowOfRecord(m_sorted.size());
    for (size_t i = 0; i < m_sorted.size(); ++i) {
        rowOfRecord[size_t(m_sorted[i].iChainIndex)] = int(i);
    }
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i) {
        after << index(rowOfRecord[size_t(heldRecords[size_t(i)])], before.at(i).column());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

template class TrendTableModel<STU_DB_NIBP_DATA_LIST>;
template class TrendTableModel<STU_DB_SPO2_DATA_LIST>;
template class TrendTableModel<STU_DB_TEMP_DATA_LIST>;

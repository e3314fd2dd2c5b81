#pragma once

#include <QAbstractTableModel>
#include <QList>

#include <vector>

// The rows of one trend table, read from a record chain that PatientData
// holds: one row per record, in chain order (the oldest on top) until the
// table is sorted by a column. Cells are formatted only when shown; the model
// keeps a pointer per record, never a copy of its values, so it must be given
// the new chain (or be cleared) whenever PatientData replaces or drops it.
template <typename Record> class TrendTableModel : public QAbstractTableModel
{
public:
    explicit TrendTableModel(QObject *pParent = nullptr);

    // Rows for the chain's records, in chain order, with the refill headers.
    void ShowChain(const Record *pHead);
    // No rows, and numbered column headers until the next chain.
    void Clear();
    QList<int> ColumnWidths() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Stable: equal values keep their order of measurement.
    void sort(int iColumn, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    enum class Headers
    {
        First,
        Refill,
        Numbered
    };
    struct Row
    {
        const Record *pRecord;
        int iChainIndex; // the chain is in ascending measure time
    };

    const Record *RecordAt(int iRow) const;
    double SortKey(const Row &row, int iColumn) const;
    std::vector<Row> RowsInChainOrder() const;

    const Record *m_pHead = nullptr;
    int m_iCount = 0;
    // Every kStride-th record of the chain, so that a row is found with a
    // short walk: a big chain costs no index of its own until it is sorted.
    std::vector<const Record *> m_landmarks;
    // The rows in sorted order; empty while the chain's order is shown.
    std::vector<Row> m_sorted;
    Headers m_headers = Headers::First;
};

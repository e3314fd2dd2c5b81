#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;

// Frames the current row of a view, so that among several selected rows the
// one on show stands out.
class CurrentRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CurrentRowDelegate(QAbstractItemView *pView);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    QAbstractItemView *m_pView;
};

#include "CurrentRowDelegate.h"

#include <QAbstractItemView>
#include <QPainter>

CurrentRowDelegate::CurrentRowDelegate(QAbstractItemView *pView)
    : QStyledItemDelegate(pView), m_pView(pView)
{
}

void CurrentRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (index.row() != m_pView->currentIndex().row())
        return;
    painter->save();
    painter->setPen(QPen(QColor(10, 48, 82), 2));
    const QRect cell = option.rect.adjusted(1, 1, -1, -1);
    painter->drawLine(cell.topLeft(), cell.topRight());
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    if (index.column() == 0)
        painter->drawLine(cell.topLeft(), cell.bottomLeft());
    if (index.column() == index.model()->columnCount() - 1)
        painter->drawLine(cell.topRight(), cell.bottomRight());
    painter->restore();
}

#include "SharedColumnWidths.h"

#include <QEvent>
#include <QTableView>

#include <numeric>

SharedColumnWidths::SharedColumnWidths(QTableView *pTable) : QObject(pTable), m_pTable(pTable)
{
    pTable->viewport()->installEventFilter(this);
}

void SharedColumnWidths::Apply(QTableView *pTable, const QList<int> &widths)
{
    auto *pShared = pTable->findChild<SharedColumnWidths *>(QString(), Qt::FindDirectChildrenOnly);
    if (!pShared)
        pShared = new SharedColumnWidths(pTable);
    pShared->m_widths = widths;
    pShared->Share();
}

bool SharedColumnWidths::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pEvent->type() == QEvent::Resize)
        Share();
    return QObject::eventFilter(pWatched, pEvent);
}

void SharedColumnWidths::Share()
{
    const int total = std::accumulate(m_widths.cbegin(), m_widths.cend(), 0);
    const int available = m_pTable->viewport()->width();
    for (int i = 0; i < m_widths.size(); ++i) {
        const int width = total > available && total > 0
                              ? int(qint64(m_widths.at(i)) * available / total)
                              : m_widths.at(i);
        m_pTable->setColumnWidth(i, width);
    }
}

#pragma once

#include <QList>
#include <QObject>

class QTableView;

// Keeps a table's columns at their drawn widths while they fit, and shrinks
// them all in proportion when the table is narrower, so that no column hides
// behind a horizontal scroll bar. The last column takes what is left over.
class SharedColumnWidths : public QObject
{
    Q_OBJECT

public:
    // Owned by pTable; a second call for the same table replaces the widths.
    static void Apply(QTableView *pTable, const QList<int> &widths);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    explicit SharedColumnWidths(QTableView *pTable);
    void Share();

    QTableView *m_pTable;
    QList<int> m_widths;
};

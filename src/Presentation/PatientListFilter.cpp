#include "PatientListFilter.h"

#include "PatientListModel.h"

PatientListFilter::PatientListFilter(PatientListModel *pSource, QObject *parent)
    : QSortFilterProxyModel(parent), m_pSource(pSource)
{
    setSourceModel(pSource);
}

void PatientListFilter::SetSearchText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    invalidateRowsFilter();
}

bool PatientListFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    return sourceParent.isValid() ? false
                                  : m_text.isEmpty() || m_pSource->RowMatches(sourceRow, m_text);
}

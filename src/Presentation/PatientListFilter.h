#pragma once

#include <QSortFilterProxyModel>

class PatientListModel;

// Shows the rows of the patient list that hold the search text, in the
// list's own order (it never sorts). An empty text shows every row.
class PatientListFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit PatientListFilter(PatientListModel *pSource, QObject *parent = nullptr);

    void SetSearchText(const QString &text);
    const QString &SearchText() const { return m_text; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    PatientListModel *m_pSource;
    QString m_text;
};

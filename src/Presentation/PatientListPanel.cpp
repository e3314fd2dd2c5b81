#include "PatientListPanel.h"

#include "PatientListFilter.h"
#include "PatientListModel.h"

#include <QItemSelectionModel>
#include <QTableView>

PatientListPanel::PatientListPanel(QTableView *pView, QObject *parent)
    : QObject(parent), m_pView(pView), m_pModel(new PatientListModel(this)),
      m_pFilter(new PatientListFilter(m_pModel, this))
{
    pView->setModel(m_pFilter);
    pView->setColumnWidth(0, 120);
    pView->setColumnWidth(1, 60);
    pView->setColumnWidth(2, 120);
    connect(pView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PatientListPanel::SelectionChanged);
}

void PatientListPanel::Fill(STU_DB_PATIENT_LIST *pOldestFirst)
{
    m_pView->setUpdatesEnabled(false);
    m_pModel->Fill(pOldestFirst);
    FreeRecordChain(pOldestFirst);
    m_pView->setUpdatesEnabled(true);
    Repaint();
}

QList<QUuid> PatientListPanel::SelectedPatients() const
{
    QList<QUuid> patients;
    for (const QModelIndex &index : m_pView->selectionModel()->selectedRows(0))
        patients.append(m_pModel->PatientAt(m_pFilter->mapToSource(index).row()));
    return patients;
}

void PatientListPanel::Repaint()
{
    m_pView->repaint();
}

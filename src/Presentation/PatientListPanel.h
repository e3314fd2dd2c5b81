#pragma once

#include "DatabaseRecords.h"

#include <QList>
#include <QObject>
#include <QUuid>

class QTableView;
class PatientListFilter;
class PatientListModel;

// The patient list on the Desktop tab: its model behind the PatientListTable
// view, set up with the list's columns, widths and selection rules.
class PatientListPanel : public QObject
{
    Q_OBJECT

public:
    explicit PatientListPanel(QTableView *pView, QObject *parent = nullptr);

    PatientListModel *Model() const { return m_pModel; }
    QTableView *View() const { return m_pView; }
    // Takes the chain (oldest first) and frees it.
    void Fill(STU_DB_PATIENT_LIST *pOldestFirst);
    // The selected patients, in the order of the selection model's list.
    QList<QUuid> SelectedPatients() const;
    void Repaint();

signals:
    void SelectionChanged();

private:
    QTableView *m_pView;
    PatientListModel *m_pModel;
    PatientListFilter *m_pFilter;
};

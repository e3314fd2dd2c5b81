#pragma once

#include "DatabaseRecords.h"

#include <QList>
#include <QObject>
#include <QUuid>

#include <functional>

class QLabel;
class QLineEdit;
class QModelIndex;
class QTableView;
class PatientListFilter;
class PatientListModel;

// The patient list on the Desktop tab: its model behind the PatientListTable
// view, the search field above it and the count below it. The views follow
// the list's current row; the panel tells when that row's patient changes,
// to another patient (once leaving the one shown is confirmed) or to none.
class PatientListPanel : public QObject
{
    Q_OBJECT

public:
    PatientListPanel(QTableView *pView, QLineEdit *pSearch, QLabel *pCount, QObject *parent);

    PatientListModel *Model() const { return m_pModel; }
    QTableView *View() const { return m_pView; }
    // Asked before the user's choice takes the shown patient away; false keeps him.
    void SetLeaveCheck(std::function<bool()> confirmLeave)
    {
        m_confirmLeave = std::move(confirmLeave);
    }
    // Takes the chain (oldest first) and frees it. The current patient stays
    // current if he is still listed.
    void Fill(STU_DB_PATIENT_LIST *pOldestFirst);
    // The patient of the current row; null without one.
    QUuid CurrentPatient() const;
    // The label that names the patient on show.
    void SetNameLabel(QLabel *pLabel);
    // The model rows of the selected patients, in the selection model's order.
    QList<int> SelectedRows() const;
    void Repaint();

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

signals:
    void CurrentPatientChanged();
    // The Delete key in the list.
    void DeleteRequested();

private:
    void ConnectModel();
    void ScheduleCurrentCheck();
    void CheckCurrent();
    void MakeCurrent(const QUuid &uuid);
    void ForgetCurrentIn(int first, int last);
    void Search(const QString &text);
    void ShowCount();
    void ShowCurrentName();

    QTableView *m_pView;
    QLineEdit *m_pSearch;
    QLabel *m_pCount;
    QLabel *m_pNameLabel = nullptr;
    PatientListModel *m_pModel;
    PatientListFilter *m_pFilter;
    std::function<bool()> m_confirmLeave;
    // The patient last reported current, and the one to restore after a reset.
    QUuid m_reported;
    QUuid m_beforeReset;
    bool m_bCheckPending = false;
};

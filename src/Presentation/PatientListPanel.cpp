#include "PatientListPanel.h"

#include "CurrentRowDelegate.h"
#include "PatientListFilter.h"
#include "PatientListModel.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

PatientListPanel::PatientListPanel(QTableView *pView, QLineEdit *pSearch, QLabel *pCount,
                                   QObject *parent)
    : QObject(parent), m_pView(pView), m_pSearch(pSearch), m_pCount(pCount),
      m_pModel(new PatientListModel(this)), m_pFilter(new PatientListFilter(m_pModel, this)),
      m_confirmLeave([] { return true; })
{
    ConnectModel();
    pView->setModel(m_pFilter);
    pView->setItemDelegate(new CurrentRowDelegate(pView));
    pView->setColumnWidth(0, 120);
    pView->setColumnWidth(1, 60);
    pView->setColumnWidth(2, 120);
    connect(pView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &PatientListPanel::ScheduleCurrentCheck);
    pView->installEventFilter(this);
    connect(pSearch, &QLineEdit::textChanged, this, &PatientListPanel::Search);
    ShowCount();
}

// Connected before the view is: a current row about to go is forgotten
// before the view would make a neighbour current in its place.
void PatientListPanel::ConnectModel()
{
    connect(m_pFilter, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { ForgetCurrentIn(first, last); });
    connect(m_pFilter, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_beforeReset = CurrentPatient(); });
    connect(m_pFilter, &QAbstractItemModel::modelReset, this, [this] {
        MakeCurrent(m_beforeReset);
        ShowCount();
    });
    connect(m_pFilter, &QAbstractItemModel::layoutChanged, this,
            &PatientListPanel::ScheduleCurrentCheck);
    for (auto rowsChanged : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_pFilter, rowsChanged, this, &PatientListPanel::ShowCount);
}

bool PatientListPanel::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pEvent->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(pEvent)->matches(QKeySequence::Delete)) {
        emit DeleteRequested();
        return true;
    }
    return QObject::eventFilter(pWatched, pEvent);
}

void PatientListPanel::Fill(STU_DB_PATIENT_LIST *pOldestFirst)
{
    m_pView->setUpdatesEnabled(false);
    m_pModel->Fill(pOldestFirst);
    FreeRecordChain(pOldestFirst);
    m_pView->setUpdatesEnabled(true);
    Repaint();
}

QUuid PatientListPanel::CurrentPatient() const
{
    const QModelIndex current = m_pFilter->mapToSource(m_pView->currentIndex());
    return current.isValid() ? m_pModel->PatientAt(current.row()) : QUuid();
}

void PatientListPanel::SetNameLabel(QLabel *pLabel)
{
    m_pNameLabel = pLabel;
    connect(m_pModel, &QAbstractItemModel::dataChanged, this, &PatientListPanel::ShowCurrentName);
    ShowCurrentName();
}

QList<int> PatientListPanel::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_pView->selectionModel()->selectedRows(0))
        rows.append(m_pFilter->mapToSource(index).row());
    return rows;
}

void PatientListPanel::Repaint()
{
    m_pView->repaint();
}

// After the view has finished the click or key that moved the row.
void PatientListPanel::ScheduleCurrentCheck()
{
    m_pView->viewport()->update(); // the frame of the current row moves
    if (m_bCheckPending)
        return;
    m_bCheckPending = true;
    QTimer::singleShot(0, this, &PatientListPanel::CheckCurrent);
}

void PatientListPanel::CheckCurrent()
{
    m_bCheckPending = false;
    const QUuid current = CurrentPatient();
    if (current == m_reported)
        return;
    if (!current.isNull() && !m_reported.isNull() && !m_confirmLeave()) {
        MakeCurrent(m_reported);
        if (CurrentPatient() == m_reported)
            return;
    }
    m_reported = CurrentPatient();
    ShowCurrentName();
    emit CurrentPatientChanged();
}

void PatientListPanel::MakeCurrent(const QUuid &uuid)
{
    const int row = uuid.isNull() ? -1 : m_pModel->RowOf(uuid);
    const QModelIndex index = m_pFilter->mapFromSource(m_pModel->index(row, 0));
    if (index.isValid())
        m_pView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
    ScheduleCurrentCheck();
}

void PatientListPanel::ForgetCurrentIn(int first, int last)
{
    const int current = m_pView->currentIndex().row();
    if (current < first || current > last)
        return;
    m_pView->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    ScheduleCurrentCheck();
}

void PatientListPanel::Search(const QString &text)
{
    const QString needle = text.trimmed();
    const int current = m_pModel->RowOf(CurrentPatient());
    const bool hidesCurrent =
        current >= 0 && !needle.isEmpty() && !m_pModel->RowMatches(current, needle);
    if (hidesCurrent && !m_confirmLeave()) {
        const QSignalBlocker blocker(m_pSearch);
        m_pSearch->setText(m_pFilter->SearchText());
        return;
    }
    m_pFilter->SetSearchText(needle);
    ShowCount();
}

void PatientListPanel::ShowCount()
{
    m_pCount->setText(tr("%1 of %2 patients").arg(m_pFilter->rowCount()).arg(m_pModel->rowCount()));
}

void PatientListPanel::ShowCurrentName()
{
    const int row = m_pModel->RowOf(m_reported);
    if (m_pNameLabel)
        m_pNameLabel->setText(row < 0 ? QString() : m_pModel->Describe(row));
}

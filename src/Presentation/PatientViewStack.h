#pragma once

#include <QObject>

class QStackedWidget;
class QWidget;
class PatientDetailInfoView;
class TrendTableView;
class TrendGrapView;

// The three pages that show the current patient (details, trend tables,
// trend graphs) in one stack, each following the current patient model.
class PatientViewStack : public QObject
{
    Q_OBJECT

public:
    explicit PatientViewStack(QWidget *pWindow);

    QStackedWidget *Stack() const { return m_pStack; }
    PatientDetailInfoView *DetailView() const { return m_pDetailView; }
    TrendTableView *TableView() const { return m_pTableView; }
    TrendGrapView *GraphView() const { return m_pGraphView; }
    void ShowPage(int page);

private:
    void AddPage(QWidget *pView);
    void ConnectDetailView();
    template <typename RecordView> void ConnectRecordView(RecordView *pView);

    QStackedWidget *m_pStack;
    PatientDetailInfoView *m_pDetailView;
    TrendTableView *m_pTableView;
    TrendGrapView *m_pGraphView;
};

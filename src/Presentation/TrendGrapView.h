#pragma once

#include "TrendPageWindow.h"

#include <QDateTime>
#include <QSharedPointer>
#include <QWidget>

class QCPAxisTicker;
class QCustomPlot;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

// The "Trend" page: three plots of the current patient's NIBP, SpO2 and
// temperature records over one window of an hour, a day, a week or a month,
// paged from the window that holds the patient's earliest record.
class TrendGrapView : public QWidget
{
    Q_OBJECT

public:
    explicit TrendGrapView(QWidget *parent = nullptr);
    ~TrendGrapView() override;

    int CurrentPage() const { return m_iCurrentPage; }
    QDateTime StartTime() const { return m_StartTime; }
    QDateTime EndTime() const { return m_EndTime; }
    QCustomPlot *NIBPPlot() const { return NIBPTrendGrap; }
    QCustomPlot *SPO2Plot() const { return SPO2TrendGrap; }
    QCustomPlot *TEMPPlot() const { return TEMPTrendGrap; }
    // Whether the page was on screen since the current patient's records
    // arrived.
    bool HasBeenShown() const { return m_bShownSinceData; }
    // Draws every record of the current patient, dates on the time axis, for
    // a printed report of the whole record set; RedrawPage() brings the page back.
    void DrawWholeRecordSet();
    void RedrawPage() { UpdateTrendGraph(); }
    // The shown window in words, beside the paging buttons.
    QString PageRangeText() const;

    // The index of the window that holds the patient's latest record.
    int GetMaxPageIndex() const;

public slots:
    void OnPatientNIBPDataChanged();
    void OnPatientSPO2DataChanged();
    void OnPatientTEMPDataChanged();
    void OnClearPatientData();
    void OnRadioButtonClicked();
    void OnFirstButtonClicked();
    void OnPrevButtonClicked();
    void OnNextButtonClicked();
    void OnLastButtonClicked();

protected:
    void showEvent(QShowEvent *pEvent) override;

private:
    void SetupUi();
    void RetranslateUi();
    void ConnectButtons();
    QPushButton *CreatePageButton(const char *pName);
    QRadioButton *CreateRadioButton(const char *pName);

    TrendPageWindow::Span CheckedSpan() const;
    QDateTime ReferenceTime() const;
    void GetBaseTimeRange(QDateTime &start, QDateTime &end) const;
    void GetPageTimeRange();
    void SetTimeAxis();
    void UpdateTrendGraph();
    void DrawPage();
    void DrawPoints(const TrendPageWindow::Keys &keys);
    void ShowTimeAxis(const QSharedPointer<QCPAxisTicker> &ticker, double length);
    void OnDataListArrived();
    void ReplotAligned();
    void UpdatePageButtons();

    int m_iCurrentPage = 0;
    QDateTime m_StartTime;
    QDateTime m_EndTime;
    bool m_bShownSinceData = false;

    QVBoxLayout *verticalLayout = nullptr;
    QCustomPlot *NIBPTrendGrap = nullptr;
    QCustomPlot *SPO2TrendGrap = nullptr;
    QCustomPlot *TEMPTrendGrap = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QLabel *label_PageRange = nullptr;
    QPushButton *pushButton_FirstPage = nullptr;
    QPushButton *pushButton_PrevPage = nullptr;
    QPushButton *pushButton_NextPage = nullptr;
    QPushButton *pushButton_LastPage = nullptr;
    QRadioButton *radioButton_Hour = nullptr;
    QRadioButton *radioButton_Day = nullptr;
    QRadioButton *radioButton_Week = nullptr;
    QRadioButton *radioButton_Month = nullptr;
};

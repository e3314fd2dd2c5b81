#include "DesktopTabLayout.h"

#include "Ui_PCViewer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

QLabel *LayOutDesktopTab(const Ui_PCViewer &ui, QWidget *pViewStack)
{
    auto *tabLayout = new QVBoxLayout(ui.WorkStationTab);
    tabLayout->setSpacing(0);
    tabLayout->setContentsMargins(0, 0, 0, 0);

    auto *separator = new QWidget(ui.WorkStationTab);
    separator->setObjectName(QStringLiteral("DesktopSeparator"));
    separator->setFixedHeight(3);
    separator->setAttribute(Qt::WA_StyledBackground, true);
    separator->setStyleSheet(QStringLiteral("background-color: rgb(187, 209, 240);"));
    tabLayout->addWidget(separator);

    auto *row = new QHBoxLayout();
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(ui.PatientListWidget);
    auto *viewColumn = new QVBoxLayout();
    viewColumn->addWidget(ui.WorkstationGroupBox);
    // Whose data the pages show, in the tool bar beside the page buttons (which
    // keep their own place), as the list's current row says.
    auto *barLayout = new QHBoxLayout(ui.WorkstationGroupBox);
    barLayout->setContentsMargins(ui.horizontalLayoutWidget->sizeHint().width() + 20, 0, 10, 0);
    auto *nameLabel = new QLabel(ui.WorkstationGroupBox);
    nameLabel->setObjectName(QStringLiteral("CurrentPatientLabel"));
    // From the left: the bar is wider than the window's smallest width leaves it.
    nameLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    barLayout->addWidget(nameLabel);
    // Below the height a page needs (the smallest window is lower than the
    // Trend page), the page scrolls instead of squeezing its parts together.
    auto *viewScroll = new QScrollArea(ui.WorkStationTab);
    viewScroll->setObjectName(QStringLiteral("ViewScrollArea"));
    viewScroll->setFrameShape(QFrame::NoFrame);
    viewScroll->setWidgetResizable(true);
    viewScroll->setWidget(pViewStack);
    viewColumn->addWidget(viewScroll);
    row->addLayout(viewColumn);
    tabLayout->addLayout(row);
    return nameLabel;
}

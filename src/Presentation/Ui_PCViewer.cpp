#include "Ui_PCViewer.h"

#include "LongButtonStyle.h"
#include "PageFont.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char *const kImagePrefix = ":/QuarvelPCSoftware/Resources/";

QString ImageUrl(const QString &file)
{
    return QStringLiteral("url(%1%2)").arg(QLatin1String(kImagePrefix), file);
}

QFont ArialFont(int pointSize, bool bold = false)
{
    QFont font;
    font.setFamily(QStringLiteral("Arial"));
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

// Fills a button style's four pictures (normal, hover, pressed, disabled) in
// that order from the images named after the button.
QString WithStateImages(const QString &base, const QString &style)
{
    return style.arg(ImageUrl(base + "_Available.png"), ImageUrl(base + "_Hover.png"),
                     ImageUrl(base + "_Press.png"), ImageUrl(base + "_Invalid.png"));
}

// A header button's style: its own properties, then the four pictures
// named after the button.
QString HeaderButtonStyle(const QString &name, const char *properties)
{
    const QString style = QStringLiteral("QPushButton{border:none; ") + QLatin1String(properties) +
                          QStringLiteral("background-color: rgba(255, 255, 255, 0);"
                                         " background-image: %1;}"
                                         "QPushButton:hover{background-image: %2;}"
                                         "QPushButton:pressed{background-image: %3;}"
                                         "QPushButton:disabled{background-image: %4;}");
    return WithStateImages(QStringLiteral("UI/Button/") + name, style);
}

QString ToolButtonStyle(const QString &name)
{
    const QString style =
        QStringLiteral("QToolButton{border:none; color: rgb(26, 73, 120);"
                       " background-color: rgba(255, 255, 255, 0); background-image: %1;}"
                       "QToolButton:hover{background-image: %2;}"
                       "QToolButton:checked{background-image: %3;}"
                       "QToolButton:disabled{color: rgb(136, 136, 136); background-image: %4;}");
    return WithStateImages(QStringLiteral("UI/AnalysisButton/") + name, style);
}

QString TabStyleSheet()
{
    const QString tab = QStringLiteral("UI/Tab/TabButton_");
    return QStringLiteral("QTabBar::tab{width: 200px; height: 30px; font: bold 16pt; border: none;"
                          " color: rgb(186, 222, 255); border-image: %1 0 0 0 0 stretch stretch;}"
                          "QTabBar::tab:first{margin-left: 30px;}"
                          "QTabBar::tab:last{margin-left: 10px;}"
                          "QTabBar::tab:hover{color: rgb(26, 73, 120); border-image: %2 0 0 0 0 "
                          "stretch stretch;}"
                          "QTabBar::tab:selected{color: rgb(26, 73, 120); border-image: %3 0 0 0 0 "
                          "stretch stretch;}"
                          "QTabBar::tab:pressed{color: rgb(186, 222, 255); border-image: %4 0 0 0 "
                          "0 stretch stretch;}"
                          "QTabBar::tab:disabled{color: rgb(136, 136, 136); border-image: %5 0 0 0 "
                          "0 stretch stretch;}"
                          "#WorkStationTab, #SettingTab{background-color: rgb(190, 213, 245);}")
        .arg(ImageUrl(tab + "Unselected.png"), ImageUrl(tab + "Unselected_Hover.png"),
             ImageUrl(tab + "Selected.png"), ImageUrl(tab + "Unselected_Press.png"),
             ImageUrl(tab + "Unselected_Invalid.png"));
}

// A label of the title bar, spanning its two rows at the given column.
QLabel *AddHeaderLabel(QGridLayout *grid, const char *objectName, int pointSize, int column)
{
    auto *label = new QLabel(grid->parentWidget());
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFont(ArialFont(pointSize));
    label->setStyleSheet(QStringLiteral("color: rgb(207, 224, 243);"));
    grid->addWidget(label, 0, column, 2, 1);
    return label;
}

// A button of the title bar ("<name>Button", its pictures named after it):
// Info and Help carry their text, the window buttons only a picture.
QPushButton *AddHeaderButton(QGridLayout *grid, const char *name, int column, bool withText)
{
    auto *button = new QPushButton(grid->parentWidget());
    button->setObjectName(QString::fromLatin1(name) + QStringLiteral("Button"));
    button->setFixedSize(withText ? 55 : 29, 30);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    if (withText)
        button->setFont(ArialFont(11));
    button->setStyleSheet(HeaderButtonStyle(
        QString::fromLatin1(name),
        withText ? "color: rgb(207, 224, 243); text-align: right; padding-right: 3px; " : ""));
    grid->addWidget(button, 0, column, 2, 1);
    return button;
}

QPushButton *MakeLongButton(QWidget *parent, const char *objectName, int pointSize = -1)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    if (pointSize > 0)
        button->setFont(ArialFont(pointSize));
    button->setMinimumHeight(32);
    button->setAutoDefault(false);
    button->setStyleSheet(LongButtonStyleSheet());
    return button;
}

QToolButton *MakeToolButton(QWidget *parent, const char *objectName, const QString &image)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setFixedSize(94, 71);
    button->setFont(ArialFont(11));
    button->setCheckable(true);
    button->setAutoExclusive(true);
    button->setAutoRaise(true);
    button->setStyleSheet(ToolButtonStyle(image));
    return button;
}

// A check box or label of the Settings tab, at least a button's height.
template <typename Widget> Widget *MakeSettingWidget(QWidget *parent, const char *objectName)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setMinimumHeight(32);
    return widget;
}

// A white group of the Settings tab, its widgets one below the other.
QGroupBox *MakeSettingGroup(QWidget *parent, const char *objectName, QVBoxLayout *&layout,
                            const char *layoutName)
{
    auto *group = new QGroupBox(parent);
    const QString name = QString::fromLatin1(objectName);
    group->setObjectName(name);
    group->setStyleSheet(QStringLiteral("#%1{background-color: rgb(255, 255, 255);}").arg(name));
    layout = new QVBoxLayout(group);
    layout->setObjectName(QString::fromLatin1(layoutName));
    return group;
}

QSpacerItem *ExpandingSpacer(int width, int height)
{
    return new QSpacerItem(width, height, QSizePolicy::Expanding, QSizePolicy::Minimum);
}

QString Translate(const char *text)
{
    return QCoreApplication::translate("PCViewer", text);
}

} // namespace

void Ui_PCViewer::setupUi(QDialog *PCViewer)
{
    if (PCViewer->objectName().isEmpty())
        PCViewer->setObjectName(QStringLiteral("PCViewer"));
    PCViewer->resize(1024, 853);
    PCViewer->setMinimumSize(1024, 600);
    PCViewer->setFont(ArialFont(14));
    // Every dialog at or below the window, message boxes included, is framed.
    PCViewer->setStyleSheet(QStringLiteral("QDialog{border: 1px solid rgb(10, 48, 82);}"));

    gridLayout_2 = new QGridLayout(PCViewer);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout_2->setSpacing(0);
    gridLayout_2->setContentsMargins(4, 2, 4, 4);

    setupHeader(PCViewer);
    setupTabs(PCViewer);

    retranslateUi(PCViewer);
    tabWidget->setCurrentIndex(1);
    QMetaObject::connectSlotsByName(PCViewer);
}

void Ui_PCViewer::setupHeader(QDialog *PCViewer)
{
    Header = new QWidget(PCViewer);
    Header->setObjectName(QStringLiteral("Header"));
    Header->setMinimumWidth(1019);
    Header->setFixedHeight(30);
    Header->setAttribute(Qt::WA_StyledBackground, true);
    Header->setStyleSheet(QStringLiteral("#Header{background-color: rgb(68, 110, 158);}"));

    gridLayout = new QGridLayout(Header);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(0, 0, 10, 0);

    SoftwareLabel = AddHeaderLabel(gridLayout, "SoftwareLabel", 14, 0);

    horizontalSpacer = ExpandingSpacer(240, 20);
    gridLayout->addItem(horizontalSpacer, 0, 1, 2, 1);

    PatientInfoLabel = AddHeaderLabel(gridLayout, "PatientInfoLabel", 12, 2);

    horizontalSpacer_2 = ExpandingSpacer(240, 20);
    gridLayout->addItem(horizontalSpacer_2, 0, 3, 2, 1);

    InfoButton = AddHeaderButton(gridLayout, "Info", 4, true);

    horizontalSpacer_3 = new QSpacerItem(13, 20, QSizePolicy::Fixed, QSizePolicy::Minimum);
    gridLayout->addItem(horizontalSpacer_3, 0, 5, 2, 1);

    HelpButton = AddHeaderButton(gridLayout, "Help", 6, true);

    horizontalSpacer_4 = new QSpacerItem(20, 20, QSizePolicy::Fixed, QSizePolicy::Minimum);
    gridLayout->addItem(horizontalSpacer_4, 0, 7, 2, 1);

    MinButton = AddHeaderButton(gridLayout, "Min", 8, false);
    MaxButton = AddHeaderButton(gridLayout, "Max", 9, false);
    CloseButton = AddHeaderButton(gridLayout, "Close", 10, false);

    gridLayout_2->addWidget(Header, 0, 0, 1, 1);
}

void Ui_PCViewer::setupTabs(QDialog *PCViewer)
{
    MainUIVerticalLayout = new QVBoxLayout();
    MainUIVerticalLayout->setObjectName(QStringLiteral("MainUIVerticalLayout"));
    MainUIVerticalLayout->setSpacing(0);

    tabWidget = new QTabWidget(PCViewer);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    tabWidget->setFont(ArialFont(16));
    tabWidget->setDocumentMode(true);
    tabWidget->setTabsClosable(false);
    tabWidget->setMovable(false);
    tabWidget->setStyleSheet(TabStyleSheet());

    WorkStationTab = new QWidget();
    WorkStationTab->setObjectName(QStringLiteral("WorkStationTab"));
    WorkStationTab->setAttribute(Qt::WA_StyledBackground, true);
    setupPatientList();
    setupToolBar();
    tabWidget->addTab(WorkStationTab, QString());

    SettingTab = new QWidget();
    SettingTab->setObjectName(QStringLiteral("SettingTab"));
    SettingTab->setAttribute(Qt::WA_StyledBackground, true);
    setupSettingTab();
    tabWidget->addTab(SettingTab, QString());

    MainUIVerticalLayout->addWidget(tabWidget);

    StatusBarLabel = new QLabel(PCViewer);
    StatusBarLabel->setObjectName(QStringLiteral("StatusBarLabel"));
    StatusBarLabel->setFixedHeight(30);
    StatusBarLabel->setFont(ArialFont(12));
    // White on the title bar's blue: a contrast of about 5.3 to 1, readable.
    StatusBarLabel->setStyleSheet(QStringLiteral(
        "color: rgb(255, 255, 255); background-color: rgb(68, 110, 158); padding-left: 8px;"));
    MainUIVerticalLayout->addWidget(StatusBarLabel);

    gridLayout_2->addLayout(MainUIVerticalLayout, 1, 0, 1, 1);
}

void Ui_PCViewer::setupPatientList()
{
    PatientListWidget = new QWidget(WorkStationTab);
    PatientListWidget->setObjectName(QStringLiteral("PatientListWidget"));
    PatientListWidget->setFixedWidth(350);
    QFont listFont;
    listFont.setFamily(QStringLiteral("Arial"));
    listFont.setPixelSize(13);
    PatientListWidget->setFont(listFont);
    QPalette palette = PatientListWidget->palette();
    palette.setBrush(QPalette::Window, QColor(225, 230, 242));
    PatientListWidget->setPalette(palette);
    PatientListWidget->setAutoFillBackground(true);

    verticalLayout = new QVBoxLayout(PatientListWidget);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    PatientSearchEdit = new QLineEdit(PatientListWidget);
    PatientSearchEdit->setObjectName(QStringLiteral("PatientSearchEdit"));
    PatientSearchEdit->setClearButtonEnabled(true);
    verticalLayout->addWidget(PatientSearchEdit);

    // Its model, with the three columns and their headers, comes from the window.
    PatientListTable = new QTableView(PatientListWidget);
    PatientListTable->setObjectName(QStringLiteral("PatientListTable"));
    PatientListTable->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    PatientListTable->setShowGrid(true);
    PatientListTable->setSortingEnabled(false);
    PatientListTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PatientListTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    PatientListTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    PatientListTable->horizontalHeader()->setHighlightSections(false);
    verticalLayout->addWidget(PatientListTable);
    PatientCountLabel = new QLabel(PatientListWidget);
    PatientCountLabel->setObjectName(QStringLiteral("PatientCountLabel"));
    verticalLayout->addWidget(PatientCountLabel);

    horizontalLayout = AddButtonPair("horizontalLayout", ImportButton, "ImportButton", DeleteButton,
                                     "DeleteButton");
    horizontalLayout_2 = AddButtonPair("horizontalLayout_2", ExportButton, "ExportButton",
                                       PrintButton, "PrintButton");
    SetPageFont(PatientListWidget, listFont);
}

// A row of two buttons under the patient list.
QHBoxLayout *Ui_PCViewer::AddButtonPair(const char *layoutName, QPushButton *&left,
                                        const char *leftName, QPushButton *&right,
                                        const char *rightName)
{
    auto *row = new QHBoxLayout();
    row->setObjectName(QString::fromLatin1(layoutName));
    left = MakeLongButton(PatientListWidget, leftName, 13);
    right = MakeLongButton(PatientListWidget, rightName, 13);
    row->addWidget(left);
    row->addWidget(right);
    verticalLayout->addLayout(row);
    return row;
}

void Ui_PCViewer::setupToolBar()
{
    WorkstationGroupBox = new QWidget(WorkStationTab);
    WorkstationGroupBox->setObjectName(QStringLiteral("WorkstationGroupBox"));
    WorkstationGroupBox->setFixedHeight(71);
    WorkstationGroupBox->setMinimumWidth(700);
    // The bar has no picture of its own (AnalysisChartGroupBackground.png is
    // not among the images). Naming the missing file would only make every
    // repaint warn, so the bar is styled without it and stays plain.
    WorkstationGroupBox->setStyleSheet(QStringLiteral("#WorkstationGroupBox{border: none;}"));

    horizontalLayoutWidget = new QWidget(WorkstationGroupBox);
    horizontalLayoutWidget->setObjectName(QStringLiteral("horizontalLayoutWidget"));
    horizontalLayoutWidget->setGeometry(QRect(0, 0, 501, 73));
    horizontalLayout_3 = new QHBoxLayout(horizontalLayoutWidget);
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    horizontalLayout_3->setContentsMargins(0, 0, 0, 0);

    PatientInfoToolButton =
        MakeToolButton(horizontalLayoutWidget, "PatientInfoToolButton", QStringLiteral("Patient"));
    PatientInfoToolButton->setChecked(true);
    horizontalLayout_3->addWidget(PatientInfoToolButton);
    TableToolButton =
        MakeToolButton(horizontalLayoutWidget, "TableToolButton", QStringLiteral("Table"));
    horizontalLayout_3->addWidget(TableToolButton);
    TrendToolButton =
        MakeToolButton(horizontalLayoutWidget, "TrendToolButton", QStringLiteral("Trend"));
    horizontalLayout_3->addWidget(TrendToolButton);
    horizontalSpacer_5 = ExpandingSpacer(40, 20);
    horizontalLayout_3->addItem(horizontalSpacer_5);
}

void Ui_PCViewer::setupSettingTab()
{
    verticalLayout_4 = new QVBoxLayout(SettingTab);
    verticalLayout_4->setObjectName(QStringLiteral("verticalLayout_4"));
    setupPatientKeyGroup();
    setupExportGroup();

    horizontalLayout_6 = new QHBoxLayout();
    horizontalLayout_6->setObjectName(QStringLiteral("horizontalLayout_6"));
    horizontalSpacer_10 = ExpandingSpacer(40, 20);
    horizontalLayout_6->addItem(horizontalSpacer_10);
    pushButton_Save = MakeLongButton(SettingTab, "pushButton_Save");
    pushButton_Save->setMinimumSize(256, 32);
    horizontalLayout_6->addWidget(pushButton_Save);
    verticalLayout_4->addLayout(horizontalLayout_6);

    verticalSpacer = new QSpacerItem(20, 508, QSizePolicy::Minimum, QSizePolicy::Expanding);
    verticalLayout_4->addItem(verticalSpacer);
}

void Ui_PCViewer::setupPatientKeyGroup()
{
    groupBox = MakeSettingGroup(SettingTab, "groupBox", verticalLayout_2, "verticalLayout_2");
    horizontalLayout_4 = new QHBoxLayout();
    horizontalLayout_4->setObjectName(QStringLiteral("horizontalLayout_4"));
    // The five keys in a row, a spacer between each two.
    const struct
    {
        QCheckBox *Ui_PCViewer::*box;
        const char *name;
        QSpacerItem *Ui_PCViewer::*spacerAfter;
    } keys[] = {
        {&Ui_PCViewer::checkBox_DeviceSN, "checkBox_DeviceSN", &Ui_PCViewer::horizontalSpacer_6},
        {&Ui_PCViewer::checkBox_ID, "checkBox_ID", &Ui_PCViewer::horizontalSpacer_7},
        {&Ui_PCViewer::checkBox_Name, "checkBox_Name", &Ui_PCViewer::horizontalSpacer_8},
        {&Ui_PCViewer::checkBox_IdentityCode, "checkBox_IdentityCode",
         &Ui_PCViewer::horizontalSpacer_9},
        {&Ui_PCViewer::checkBox_SocietyCode, "checkBox_SocietyCode", nullptr}};
    for (const auto &key : keys) {
        this->*key.box = MakeSettingWidget<QCheckBox>(groupBox, key.name);
        horizontalLayout_4->addWidget(this->*key.box);
        if (key.spacerAfter) {
            this->*key.spacerAfter = ExpandingSpacer(134, 20);
            horizontalLayout_4->addItem(this->*key.spacerAfter);
        }
    }
    verticalLayout_2->addLayout(horizontalLayout_4);
    label = MakeSettingWidget<QLabel>(groupBox, "label");
    verticalLayout_2->addWidget(label);
    verticalLayout_4->addWidget(groupBox);
}

void Ui_PCViewer::setupExportGroup()
{
    groupBox_2 = MakeSettingGroup(SettingTab, "groupBox_2", verticalLayout_3, "verticalLayout_3");
    label_2 = MakeSettingWidget<QLabel>(groupBox_2, "label_2");
    verticalLayout_3->addWidget(label_2);

    horizontalLayout_5 = new QHBoxLayout();
    horizontalLayout_5->setObjectName(QStringLiteral("horizontalLayout_5"));
    lineEdit_Export_Path = new QLineEdit(groupBox_2);
    lineEdit_Export_Path->setObjectName(QStringLiteral("lineEdit_Export_Path"));
    lineEdit_Export_Path->setMinimumHeight(32);
    lineEdit_Export_Path->setFrame(true);
    lineEdit_Export_Path->setReadOnly(true);
    horizontalLayout_5->addWidget(lineEdit_Export_Path);
    pushButton_Export_Browse = MakeLongButton(groupBox_2, "pushButton_Export_Browse");
    pushButton_Export_Browse->setMinimumSize(96, 32);
    horizontalLayout_5->addWidget(pushButton_Export_Browse);
    verticalLayout_3->addLayout(horizontalLayout_5);
    verticalLayout_4->addWidget(groupBox_2);
}

void Ui_PCViewer::retranslateUi(QDialog *PCViewer)
{
    PCViewer->setWindowTitle(Translate("Vantrel Monitor"));
    SoftwareLabel->setText(Translate("  Vantrel Monitor"));
    PatientInfoLabel->setText(QString());
    InfoButton->setText(Translate("Info"));
    HelpButton->setText(Translate("Help"));
    MinButton->setText(QString());
    MaxButton->setText(QString());
    CloseButton->setText(QString());
    PatientSearchEdit->setPlaceholderText(Translate("Search name, ID, SN or identity code"));
    ImportButton->setText(Translate("Import"));
    DeleteButton->setText(Translate("Delete"));
    ExportButton->setText(Translate("Export"));
    PrintButton->setText(Translate("Print"));
    PatientInfoToolButton->setText(Translate("\n\nPatient"));
    TableToolButton->setText(Translate("\n\nTable"));
    TrendToolButton->setText(Translate("\n\nTrend"));
    tabWidget->setTabText(tabWidget->indexOf(WorkStationTab), Translate("Desktop"));
    groupBox->setTitle(Translate("Patient Key"));
    checkBox_DeviceSN->setText(Translate("Device SN"));
    checkBox_ID->setText(Translate("ID"));
    checkBox_Name->setText(Translate("Name"));
    checkBox_IdentityCode->setText(Translate("Identity Code"));
    checkBox_SocietyCode->setText(Translate("Society Code"));
    label->setText(Translate("The Patient Data will prompt to merge when patient key is same."));
    groupBox_2->setTitle(Translate("Export"));
    label_2->setText(Translate("Please select the path to save export files."));
    pushButton_Export_Browse->setText(Translate("Browse..."));
    pushButton_Save->setText(Translate("Save"));
    tabWidget->setTabText(tabWidget->indexOf(SettingTab), Translate("  Settings  "));
    StatusBarLabel->setText(QString());
}

#pragma once

#include <QString>

class QCheckBox;
class QDialog;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QTabWidget;
class QTableView;
class QToolButton;
class QVBoxLayout;
class QWidget;

// The widget tree of the main window's form "PCViewer", built the way a
// generated form is: setupUi creates the widgets and sets their properties,
// retranslateUi sets every visible text in the translation context "PCViewer".
// The Desktop tab's outer layout is completed by the window around its views.
class Ui_PCViewer
{
public:
    QGridLayout *gridLayout_2 = nullptr;
    QWidget *Header = nullptr;
    QGridLayout *gridLayout = nullptr;
    QLabel *SoftwareLabel = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QLabel *PatientInfoLabel = nullptr;
    QSpacerItem *horizontalSpacer_2 = nullptr;
    QPushButton *InfoButton = nullptr;
    QSpacerItem *horizontalSpacer_3 = nullptr;
    QPushButton *HelpButton = nullptr;
    QSpacerItem *horizontalSpacer_4 = nullptr;
    QPushButton *MinButton = nullptr;
    QPushButton *MaxButton = nullptr;
    QPushButton *CloseButton = nullptr;
    QVBoxLayout *MainUIVerticalLayout = nullptr;
    QTabWidget *tabWidget = nullptr;
    QWidget *WorkStationTab = nullptr;
    QWidget *PatientListWidget = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QLineEdit *PatientSearchEdit = nullptr;
    QTableView *PatientListTable = nullptr;
    QLabel *PatientCountLabel = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QPushButton *ImportButton = nullptr;
    QPushButton *DeleteButton = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QPushButton *ExportButton = nullptr;
    QPushButton *PrintButton = nullptr;
    QWidget *WorkstationGroupBox = nullptr;
    QWidget *horizontalLayoutWidget = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QToolButton *PatientInfoToolButton = nullptr;
    QToolButton *TableToolButton = nullptr;
    QToolButton *TrendToolButton = nullptr;
    QSpacerItem *horizontalSpacer_5 = nullptr;
    QWidget *SettingTab = nullptr;
    QVBoxLayout *verticalLayout_4 = nullptr;
    QGroupBox *groupBox = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QCheckBox *checkBox_DeviceSN = nullptr;
    QSpacerItem *horizontalSpacer_6 = nullptr;
    QCheckBox *checkBox_ID = nullptr;
    QSpacerItem *horizontalSpacer_7 = nullptr;
    QCheckBox *checkBox_Name = nullptr;
    QSpacerItem *horizontalSpacer_8 = nullptr;
    QCheckBox *checkBox_IdentityCode = nullptr;
    QSpacerItem *horizontalSpacer_9 = nullptr;
    QCheckBox *checkBox_SocietyCode = nullptr;
    QLabel *label = nullptr;
    QGroupBox *groupBox_2 = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QLabel *label_2 = nullptr;
    QHBoxLayout *horizontalLayout_5 = nullptr;
    QLineEdit *lineEdit_Export_Path = nullptr;
    QPushButton *pushButton_Export_Browse = nullptr;
    QHBoxLayout *horizontalLayout_6 = nullptr;
    QSpacerItem *horizontalSpacer_10 = nullptr;
    QPushButton *pushButton_Save = nullptr;
    QSpacerItem *verticalSpacer = nullptr;
    QLabel *StatusBarLabel = nullptr;

    void setupUi(QDialog *PCViewer);
    void retranslateUi(QDialog *PCViewer);

private:
    void setupHeader(QDialog *PCViewer);
    void setupTabs(QDialog *PCViewer);
    void setupPatientList();
    QHBoxLayout *AddButtonPair(const char *layoutName, QPushButton *&left, const char *leftName,
                               QPushButton *&right, const char *rightName);
    void setupToolBar();
    void setupSettingTab();
    void setupPatientKeyGroup();
    void setupExportGroup();
};

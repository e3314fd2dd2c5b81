#pragma once

#include <QDialog>

class QListWidget;
class QListWidgetItem;
class QTextBrowser;

// Help: the user manual compiled into the program, in a window of its own
// beside the main window, with its table of contents down the left side.
class UserManual : public QDialog
{
    Q_OBJECT

public:
    // Opens the manual, or brings the open one to the front. Not modal.
    static void Show(QWidget *parent);

    explicit UserManual(QWidget *parent = nullptr);

    QTextBrowser *Browser() const { return textBrowser_Manual; }
    QListWidget *Contents() const { return listWidget_Contents; }

private:
    void SetupUi();
    void FillContents();
    void OnContentsItemClicked(QListWidgetItem *pItem);

    QListWidget *listWidget_Contents = nullptr;
    QTextBrowser *textBrowser_Manual = nullptr;
};

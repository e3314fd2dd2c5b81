#include "UserManual.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

const char *const kManualUrl = "qrc:/QuarvelPCSoftware/Resources/manual/manual.html";

// The one open manual window; it deletes itself when closed.
QPointer<UserManual> g_pOpenManual;

} // namespace

void UserManual::Show(QWidget *parent)
{
    if (!g_pOpenManual) {
        g_pOpenManual = new UserManual(parent);
        g_pOpenManual->setAttribute(Qt::WA_DeleteOnClose);
    }
    g_pOpenManual->show();
    g_pOpenManual->raise();
    g_pOpenManual->activateWindow();
}

UserManual::UserManual(QWidget *parent) : QDialog(parent, Qt::Window)
{
    SetupUi();
    textBrowser_Manual->setSource(QUrl(QLatin1String(kManualUrl)));
    FillContents();
}

void UserManual::SetupUi()
{
    setObjectName(QStringLiteral("UserManual"));
    setWindowTitle(tr("Vantrel Monitor - User manual"));
    resize(960, 720);
    auto *layout = new QHBoxLayout(this);
    listWidget_Contents = new QListWidget(this);
    listWidget_Contents->setObjectName(QStringLiteral("listWidget_Contents"));
    listWidget_Contents->setMaximumWidth(260);
    textBrowser_Manual = new QTextBrowser(this);
    textBrowser_Manual->setObjectName(QStringLiteral("textBrowser_Manual"));
    textBrowser_Manual->setOpenExternalLinks(true);
    layout->addWidget(listWidget_Contents);
    layout->addWidget(textBrowser_Manual, 1);
    connect(listWidget_Contents, &QListWidget::itemClicked, this,
            &UserManual::OnContentsItemClicked);
}

// One entry per chapter heading of the manual, in its order.
void UserManual::FillContents()
{
    const QTextDocument *pDocument = textBrowser_Manual->document();
    for (QTextBlock block = pDocument->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() != 2)
            continue;
        auto *pItem = new QListWidgetItem(block.text().trimmed(), listWidget_Contents);
        pItem->setData(Qt::UserRole, block.blockNumber());
    }
}

// Puts the chosen heading at the top of the browser.
void UserManual::OnContentsItemClicked(QListWidgetItem *pItem)
{
    QTextDocument *pDocument = textBrowser_Manual->document();
    const QTextBlock block = pDocument->findBlockByNumber(pItem->data(Qt::UserRole).toInt());
    const QRectF bounds = pDocument->documentLayout()->blockBoundingRect(block);
    textBrowser_Manual->verticalScrollBar()->setValue(int(bounds.top()));
}

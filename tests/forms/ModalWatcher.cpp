#include "ModalWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>

void FailOnWarnings()
{
    QTest::failOnWarning(QRegularExpression(
        QStringLiteral("^(?!This plugin does not support propagateSizeHints).*")));
}

ModalWatcher::ModalWatcher()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::Poll);
    m_timer.start();
}

void ModalWatcher::Reset()
{
    m_actions.clear();
    m_messageBoxes.clear();
    m_dialogsSeen = 0;
}

void ModalWatcher::Poll()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        QString entry = box->windowTitle() + QLatin1Char('|') + box->text();
        if (box->icon() != QMessageBox::Information || box->buttons().size() != 1)
            entry += QStringLiteral("|unexpected icon or buttons");
        m_messageBoxes << entry;
        box->button(QMessageBox::Ok)->click();
        return;
    }
    ++m_dialogsSeen;
    if (m_actions.isEmpty()) {
        dialog->reject();
        return;
    }
    m_actions.takeFirst()(dialog);
}

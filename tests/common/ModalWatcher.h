#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <functional>

// Makes every Qt warning fail the running test, except the offscreen
// platform's notes that it cannot size a window to its hints, raise or mask it.
inline void FailOnWarnings()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(
        "^(?!This plugin does not support (propagateSizeHints|raise|setting window masks)).*")));
}

// Answers the modal dialogs a test provokes, looking every 10 ms: an information box is
// recorded ("title|text", then "|informative text" if it has one) and closed with OK; a question
// box is recorded as well and, like any other dialog, goes to the next scripted action, which must
// close it (with none left, it is rejected).
class ModalWatcher
{
public:
    using DialogAction = std::function<void(QDialog *)>;

    ModalWatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(10);
    }
    void AddDialogAction(DialogAction action) { m_actions.append(std::move(action)); }
    const QStringList &MessageBoxes() const { return m_messageBoxes; }
    int DialogsSeen() const { return m_dialogsSeen; }

private:
    void Poll()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (box) {
            QString entry = box->windowTitle() + QLatin1Char('|') + box->text();
            if (!box->informativeText().isEmpty())
                entry += QLatin1Char('|') + box->informativeText();
            const bool question = box->icon() == QMessageBox::Question;
            if (!question &&
                (box->icon() != QMessageBox::Information || box->buttons().size() != 1))
                entry += QStringLiteral("|unexpected icon or buttons");
            m_messageBoxes << entry;
            if (!question) {
                box->button(QMessageBox::Ok)->click();
                return;
            }
        }
        ++m_dialogsSeen;
        m_actions.isEmpty() ? dialog->reject() : m_actions.takeFirst()(dialog);
    }

    QTimer m_timer;
    QList<DialogAction> m_actions;
    QStringList m_messageBoxes;
    int m_dialogsSeen = 0;
};

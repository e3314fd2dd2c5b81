#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QDialog;

// Makes every Qt warning fail the running test, except the offscreen
// platform's note that it cannot resize a window to its size hints.
void FailOnWarnings();

// Answers the modal dialogs a test provokes. Every few milliseconds it looks at
// the active modal widget: a message box is recorded ("title|text") and closed
// with OK; any other dialog is handed to the next scripted action, which must
// close it.
class ModalWatcher : public QObject
{
    Q_OBJECT

public:
    using DialogAction = std::function<void(QDialog *)>;

    ModalWatcher();

    void AddDialogAction(DialogAction action) { m_actions.append(std::move(action)); }
    const QStringList &MessageBoxes() const { return m_messageBoxes; }
    int DialogsSeen() const { return m_dialogsSeen; }
    void Reset();

private:
    void Poll();

    QTimer m_timer;
    QList<DialogAction> m_actions;
    QStringList m_messageBoxes;
    int m_dialogsSeen = 0;
};

#pragma once

#include <QCoreApplication>

class QWidget;
class Ui_PCViewer;
class UserMessages;

// The Settings tab: the five patient-key check boxes and the export path,
// loaded from the settings at start and written back by Save.
class SettingsTab
{
    Q_DECLARE_TR_FUNCTIONS(SettingsTab)

public:
    SettingsTab(const Ui_PCViewer &ui, QWidget *pWindow, const UserMessages &messages)
        : ui(ui), m_pWindow(pWindow), m_messages(messages)
    {
    }

    void Load();
    // Lets the user choose the export directory; nothing is saved yet.
    void Browse();
    // True when the settings file was rewritten.
    bool Save();

private:
    const Ui_PCViewer &ui;
    QWidget *m_pWindow;
    const UserMessages &m_messages;
};

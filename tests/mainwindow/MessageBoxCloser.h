#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// Closes every modal message box that opens while it exists, pressing its
// OK button, and keeps the title and text of each for the test to check.
class MessageBoxCloser : public QObject
{
    Q_OBJECT

public:
    MessageBoxCloser();

    QStringList Titles() const { return m_titles; }
    QStringList Texts() const { return m_texts; }
    QList<int> Icons() const { return m_icons; }
    void Clear();

private:
    void CloseActiveBox();

    QTimer m_timer;
    QStringList m_titles;
    QStringList m_texts;
    QList<int> m_icons;
};

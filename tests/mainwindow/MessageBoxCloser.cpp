#include "MessageBoxCloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

MessageBoxCloser::MessageBoxCloser()
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxCloser::CloseActiveBox);
    m_timer.start(10);
}

void MessageBoxCloser::Clear()
{
    m_titles.clear();
    m_texts.clear();
    m_icons.clear();
}

void MessageBoxCloser::CloseActiveBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_titles.append(box->windowTitle());
    m_texts.append(box->text());
    m_icons.append(box->icon());
    QAbstractButton *ok = box->button(QMessageBox::Ok);
    if (ok && box->buttons().size() == 1)
        ok->click();
    else
        box->reject();
}

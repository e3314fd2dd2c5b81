#pragma once

#include <QFont>
#include <QWidget>

// Gives root and every widget below it that has no font of its own the given
// font. The application style sheet sets each widget's font when the widget is
// polished, and from then on a parent's font no longer reaches it, so a page
// font set on the parent alone would stop at the parent.
inline void SetPageFont(QWidget *root, const QFont &font)
{
    root->setFont(font);
    for (QWidget *child : root->findChildren<QWidget *>()) {
        if (!child->testAttribute(Qt::WA_SetFont))
            child->setFont(font);
    }
}

#pragma once

#include <QObject>
#include <QRect>
#include <QRegion>

class QWidget;

// What a frameless window needs in place of the system frame: the rounded
// outline it shows itself in, and maximising and restoring.
class WindowChrome : public QObject
{
    Q_OBJECT

public:
    explicit WindowChrome(QWidget *pWindow);

    // The 1024 x 768 window centred in an available screen area; on a smaller
    // area the window keeps to its top left corner and its height.
    static QRect RestoredGeometry(const QRect &available);
    // The rounded outline the window shows itself in (corner radius 5).
    static QRegion WindowMask(int width, int height);

    void ApplyMask();
    // Fills the screen's available area, or restores, in turn.
    void ToggleMaximised();

private:
    QWidget *m_pWindow;
    // True while the next toggle fills the screen's available area.
    bool m_bMaximise = true;
};

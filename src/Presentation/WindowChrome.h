#pragma once

#include <QObject>
#include <QPoint>

#include <QRect>
#include <QRegion>
#include <optional>

class QWidget;

// What a frameless window needs in place of the system frame: the rounded
// outline it shows itself in, maximising and restoring, and moving and
// resizing by the mouse, which the window system does (so that a window
// manager or Wayland keeps its say): the title bar moves the window and a
// double-click on it maximises or restores, the edges and corners resize it.
class WindowChrome : public QObject
{
    Q_OBJECT

public:
    // Width of the band along the window's edges that resizes it.
    static constexpr int kResizeBorder = 5;

    WindowChrome(QWidget *pWindow, QWidget *pTitleBar);

    // The 1024 x 768 window centred in an available screen area; on a smaller
    // area the window keeps to its top left corner and its height.
    static QRect RestoredGeometry(const QRect &available);
    // The rounded outline the window shows itself in (corner radius 5).
    static QRegion WindowMask(int width, int height);
    // The edges a press at pos (in the rectangle's coordinates) would drag:
    // none in the inner part, two in a corner.
    static Qt::Edges EdgesAt(const QRect &rect, const QPoint &pos, int border = kResizeBorder);

    void ApplyMask();
    // Maximised or back to the size before, in turn.
    void ToggleMaximised();

signals:
    // The title bar was double-clicked.
    void MaximiseRequested();
    // The window system was asked to move (no edges) or resize the window.
    void DragHandedOver(Qt::Edges edges);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    bool Press(QObject *pWatched, const QPoint &globalPos);
    bool DragTitle(const QPoint &globalPos);
    void ShowEdgeCursor(const QPoint &pos);

    QWidget *m_pWindow;
    QWidget *m_pTitleBar;
    // Where the left button went down on the title bar, until it moves or is released.
    std::optional<QPoint> m_titlePressedAt;
};

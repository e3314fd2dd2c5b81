#include "WindowChrome.h"

#include <QApplication>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

constexpr int kRestoredWidth = 1024;
constexpr int kRestoredHeight = 768;
constexpr int kCornerDiameter = 10;

Qt::CursorShape EdgeCursor(Qt::Edges edges)
{
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        return Qt::SizeFDiagCursor;
    if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        return Qt::SizeBDiagCursor;
    if (edges & (Qt::LeftEdge | Qt::RightEdge))
        return Qt::SizeHorCursor;
    return edges ? Qt::SizeVerCursor : Qt::ArrowCursor;
}

} // namespace

WindowChrome::WindowChrome(QWidget *pWindow, QWidget *pTitleBar)
    : QObject(pWindow), m_pWindow(pWindow), m_pTitleBar(pTitleBar)
{
    pWindow->setMouseTracking(true);
    pWindow->installEventFilter(this);
    pTitleBar->installEventFilter(this);
}

QRect WindowChrome::RestoredGeometry(const QRect &available)
{
    const int left = available.width() > kRestoredWidth
                         ? available.left() + (available.width() - kRestoredWidth) / 2
                         : 0;
    const int top = available.height() > kRestoredHeight
                        ? available.top() + (available.height() - kRestoredHeight) / 2
                        : 0;
    return QRect(left, top, kRestoredWidth, qMin(kRestoredHeight, available.height()));
}

QRegion WindowChrome::WindowMask(int width, int height)
{
    const int d = kCornerDiameter;
    QRegion mask(d / 2, 0, width - d, height);
    mask += QRegion(0, d / 2, width, height - d);
    mask += QRegion(0, 0, d, d, QRegion::Ellipse);
    mask += QRegion(width - d, 0, d, d, QRegion::Ellipse);
    mask += QRegion(0, height - d, d, d, QRegion::Ellipse);
    mask += QRegion(width - d, height - d, d, d, QRegion::Ellipse);
    return mask;
}

Qt::Edges WindowChrome::EdgesAt(const QRect &rect, const QPoint &pos, int border)
{
    Qt::Edges edges;
    if (!rect.contains(pos))
        return edges;
    if (pos.x() < rect.left() + border)
        edges |= Qt::LeftEdge;
    else if (pos.x() > rect.right() - border)
        edges |= Qt::RightEdge;
    if (pos.y() < rect.top() + border)
        edges |= Qt::TopEdge;
    else if (pos.y() > rect.bottom() - border)
        edges |= Qt::BottomEdge;
    return edges;
}

void WindowChrome::ApplyMask()
{
    m_pWindow->setMask(WindowMask(m_pWindow->width(), m_pWindow->height()));
}

void WindowChrome::ToggleMaximised()
{
    const bool maximise = !m_pWindow->isMaximized();
    if (!m_pWindow->isVisible()) {
        // Before the first show: restored means centred on the screen, and
        // that is where showNormal() brings a maximised window back to.
        if (QScreen *screen = m_pWindow->screen())
            m_pWindow->setGeometry(RestoredGeometry(screen->availableGeometry()));
        m_pWindow->setWindowState(maximise ? Qt::WindowMaximized : Qt::WindowNoState);
    } else if (maximise) {
        m_pWindow->showMaximized();
    } else {
        m_pWindow->showNormal();
    }
    ApplyMask();
}

bool WindowChrome::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    switch (pEvent->type()) {
    case QEvent::Resize:
        if (pWatched == m_pWindow)
            ApplyMask();
        break;
    case QEvent::MouseButtonDblClick:
        if (pWatched == m_pTitleBar &&
            static_cast<QMouseEvent *>(pEvent)->button() == Qt::LeftButton) {
            emit MaximiseRequested();
            return true;
        }
        break;
    case QEvent::MouseButtonPress: {
        const auto *press = static_cast<QMouseEvent *>(pEvent);
        if (press->button() == Qt::LeftButton && Press(pWatched, press->globalPosition().toPoint()))
            return true;
        break;
    }
    case QEvent::MouseButtonRelease:
        m_titlePressedAt.reset();
        break;
    case QEvent::MouseMove: {
        const auto *move = static_cast<QMouseEvent *>(pEvent);
        if (pWatched == m_pWindow)
            ShowEdgeCursor(move->position().toPoint());
        else if (pWatched == m_pTitleBar && DragTitle(move->globalPosition().toPoint()))
            return true;
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(pWatched, pEvent);
}

// An edge resizes, even in the title bar's top band; the rest of the title bar moves.
bool WindowChrome::Press(QObject *pWatched, const QPoint &globalPos)
{
    QWindow *handle = m_pWindow->windowHandle();
    const Qt::Edges edges = m_pWindow->isMaximized()
                                ? Qt::Edges()
                                : EdgesAt(m_pWindow->rect(), m_pWindow->mapFromGlobal(globalPos));
    if (!handle || (!edges && pWatched != m_pTitleBar))
        return false;
    if (!edges) {
        // The move waits for the mouse to move: handed over at the press, the
        // window manager would take the second click of a double-click too.
        m_titlePressedAt = globalPos;
        return true;
    }
    // The window system may decline (some platforms cannot); nothing else to do then.
    handle->startSystemResize(edges);
    emit DragHandedOver(edges);
    return true;
}

bool WindowChrome::DragTitle(const QPoint &globalPos)
{
    QWindow *handle = m_pWindow->windowHandle();
    if (!m_titlePressedAt || !handle ||
        (globalPos - *m_titlePressedAt).manhattanLength() < QApplication::startDragDistance())
        return false;
    m_titlePressedAt.reset();
    handle->startSystemMove();
    emit DragHandedOver(Qt::Edges());
    return true;
}

void WindowChrome::ShowEdgeCursor(const QPoint &pos)
{
    const Qt::Edges edges =
        m_pWindow->isMaximized() ? Qt::Edges() : EdgesAt(m_pWindow->rect(), pos);
    if (edges)
        m_pWindow->setCursor(EdgeCursor(edges));
    else
        m_pWindow->unsetCursor();
}

#include "WindowChrome.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

constexpr int kRestoredWidth = 1024;
constexpr int kRestoredHeight = 768;
constexpr int kCornerDiameter = 10;

} // namespace

WindowChrome::WindowChrome(QWidget *pWindow) : QObject(pWindow), m_pWindow(pWindow) {}

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

void WindowChrome::ApplyMask()
{
    m_pWindow->setMask(WindowMask(m_pWindow->width(), m_pWindow->height()));
}

void WindowChrome::ToggleMaximised()
{
    QScreen *screen = QGuiApplication::screenAt(m_pWindow->geometry().center());
    if (!screen)
        screen = m_pWindow->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    m_pWindow->setGeometry(m_bMaximise ? available : RestoredGeometry(available));
    m_bMaximise = !m_bMaximise;
    ApplyMask();
}

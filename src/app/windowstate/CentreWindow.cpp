#include "app/windowstate/CentreWindow.h"

#include <QRect>
#include <QScreen>
#include <QWidget>

void CentreWindow(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    const Qt::WindowStates state = window.windowState();
    constexpr Qt::WindowStates altered = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    if (state & altered)
        window.setWindowState(state & ~altered);
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
    if (state & altered)
        window.setWindowState(state);
}

#include "app/windowstate/CentreWindow.h"

#include "app/platform/Platform.h"

#include <QRect>
#include <QScreen>
#include <QWidget>

void CentreWindow(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    const Qt::WindowStates state = window.windowState();
    if (state & AlteredWindowStates)
        window.setWindowState(state & ~AlteredWindowStates);
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
    if (state & AlteredWindowStates)
        window.setWindowState(state);
}

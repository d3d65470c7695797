#include "app/platform/Platform.h"

#include "app/platform/FrameWait.h"
#include "app/platform/X11Window_unix.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <optional>

QString ProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}

QChar FolderSeparator()
{
    return u'/';
}

// There is no window-manager placement to ask here: the values come from the widget's geometry
// and state. The minimized and maximized positions have no meaning for the toolkit, so they stay
// with the widget as properties and come back as they were set.

namespace {

const char *const MinPositionProperty = "tessaroMinPosition";
const char *const MaxPositionProperty = "tessaroMaxPosition";

// Screen coordinates of the work-area origin.
QPoint WorkAreaOrigin()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->availableGeometry().topLeft() : QPoint();
}

const char *const LastMarginsProperty = "tessaroFrameMargins";
const char *const NormalMarginsProperty = "tessaroNormalFrameMargins";
// The frame's margins. On an X server they are asked of the window manager (before the window
// appears, by request): the toolkit keeps a frame it measured before the window manager framed
// the window (none, or 1x1 right after mapping) until the window moves. Without an answer the
// toolkit's measure is all there is; one smaller than the window is as unknown as none.
QMargins FrameMargins(const QWidget &window)
{
    QMargins margins;
    const QWindow *handle = window.windowHandle();
    if (OnXServer()) {
        if (!handle || !handle->handle())
            return {};
        if (!WindowOnScreen(window))
            RequestFrameExtents(const_cast<QWidget &>(window));
        // A window manager takes the extents away (or empties them) as soon as the window is
        // closed, before the program has recorded where the window was: the last ones seen
        // stand in for them then.
        const QVariant last = window.property(LastMarginsProperty);
        if (!WindowOnScreen(window) && last.isValid())
            return last.value<QMargins>();
        const std::optional<QMargins> extents = FrameExtents(window);
        if (extents)
            const_cast<QWidget &>(window).setProperty(LastMarginsProperty, QVariant::fromValue(*extents));
        margins = extents ? *extents : handle->frameMargins();
    } else {
        const QRect frame = window.frameGeometry();
        const QRect client = window.geometry();
        margins = QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    }
    if (margins.left() < 0 || margins.top() < 0 || margins.right() < 0 || margins.bottom() < 0)
        return {};
    return margins;
}

// The margins of the window's frame in the normal state: a window manager may frame a maximized
// window more thinly. They are those last seen while the window was not maximized or minimized.
QMargins NormalFrameMargins(const QWidget &window)
{
    const QMargins margins = FrameMargins(window);
    if (!(window.windowState() & AlteredWindowStates)) {
        if (!margins.isNull())
            const_cast<QWidget &>(window).setProperty(NormalMarginsProperty, QVariant::fromValue(margins));
        return margins;
    }
    const QVariant remembered = window.property(NormalMarginsProperty);
    return remembered.isValid() ? remembered.value<QMargins>() : margins;
}

QPoint PointProperty(const QWidget &window, const char *name)
{
    const QVariant value = window.property(name);
    return value.isValid() ? value.toPoint() : QPoint(-1, -1);
}

Qt::WindowStates StateOf(const TWindowPlacement &placement, Qt::WindowStates current)
{
    const Qt::WindowStates kept = current & ~AlteredWindowStates;
    switch (placement.ShowCmd) {
    case SwHide:
        return current;
    case SwShowMinimized:
    case SwMinimize:
    case SwShowMinNoActive:
    case SwForceMinimize:
        if (placement.Flags & WpfRestoreToMaximized)
            return kept | Qt::WindowMinimized | Qt::WindowMaximized;
        return kept | Qt::WindowMinimized;
    case SwShowMaximized:
        return kept | Qt::WindowMaximized;
    default:
        return kept;
    }
}

} // namespace

TWindowPlacement ReadWindowPlacement(const QWidget &window)
{
    TWindowPlacement placement;
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized) {
        placement.ShowCmd = SwShowMinimized;
        if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
            placement.Flags = WpfRestoreToMaximized;
    } else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        placement.ShowCmd = SwShowMaximized;
    }
    placement.MinPosition = PointProperty(window, MinPositionProperty);
    placement.MaxPosition = PointProperty(window, MaxPositionProperty);
    const QRect normal = (state & AlteredWindowStates)
        ? window.normalGeometry().marginsAdded(NormalFrameMargins(window))
        : OuterFrame(window);
    const QPoint origin = WorkAreaOrigin();
    placement.NormalPosition = {normal.left() - origin.x(), normal.top() - origin.y(), normal.right() + 1 - origin.x(),
                                normal.bottom() + 1 - origin.y()};
    return placement;
}

void ApplyWindowPlacement(QWidget &window, const TWindowPlacement &placement)
{
    window.setProperty(MinPositionProperty, placement.MinPosition);
    window.setProperty(MaxPositionProperty, placement.MaxPosition);
    const Qt::WindowStates state = window.windowState();
    const Qt::WindowStates target = StateOf(placement, state);
    if (placement.NormalPosition != ReadWindowPlacement(window).NormalPosition) {
        // The toolkit keeps a window's normal geometry only while the window is in the normal
        // state; leaving that state records it.
        if (state & AlteredWindowStates)
            window.setWindowState(state & ~AlteredWindowStates);
        const TPlacementRect &rect = placement.NormalPosition;
        const QMargins margins = NormalFrameMargins(window);
        const QPoint origin = WorkAreaOrigin();
        // A top-level widget's position is that of its frame; its size is that of its client area.
        const QRect frame(rect.Left + origin.x(), rect.Top + origin.y(), rect.Right - rect.Left,
                          rect.Bottom - rect.Top);
        if (FrameKnown(window)) {
            window.setGeometry(frame.marginsRemoved(margins));
        } else {
            window.move(frame.topLeft());
            window.resize(frame.size().shrunkBy(margins));
        }
        // Before the window manager has framed the window, its frame is unknown and the stored
        // outer rectangle could only be taken as the client's. Once the frame is known, the window
        // is brought to the stored outer rectangle; otherwise it would grow by its frame at every
        // start. The inner rectangle goes by the frame's known margins: move() would go by the
        // widget's own idea of its frame, which may still be none.
        if (margins.isNull() && !WindowOnScreen(window)) {
            RetryUntilFramed(window, "tessaroFrameCorrection", [&window, frame] {
                const QMargins known = FrameMargins(window);
                if (known.isNull())
                    return false;
                if (!(window.windowState() & AlteredWindowStates))
                    window.setGeometry(frame.marginsRemoved(known));
                return true;
            });
        }
    }
    if (window.windowState() != target)
        window.setWindowState(target);
}

bool WindowOnScreen(const QWidget &window)
{
    const QWindow *handle = window.windowHandle();
    return handle && handle->isVisible();
}

bool FrameKnown(const QWidget &window)
{
    // A window manager on an X server frames a window after it appears, but tells the frame
    // beforehand when asked; elsewhere the toolkit knows the frame once the window is on screen.
    if (OnXServer())
        return !FrameMargins(window).isNull();
    return WindowOnScreen(window);
}

QRect OuterFrame(const QWidget &window)
{
    return window.geometry().marginsAdded(FrameMargins(window));
}

void RequestActivation(QWidget &window, bool insist)
{
    window.raise();
    window.activateWindow();
    if (insist && WindowOnScreen(window))
        SetInputFocus(window);
}

bool HasSystemFocus(const QWidget &window)
{
    const std::optional<bool> focused = WindowOnScreen(window) ? HasInputFocus(window) : std::nullopt;
    return focused.value_or(true) && window.isActiveWindow();
}

bool PointOnMonitor(QPoint point)
{
    return QGuiApplication::screenAt(point + WorkAreaOrigin()) != nullptr;
}

QSize DesktopSize()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->virtualGeometry().size() : QSize();
}

int LogicalDpi(const QWidget &window)
{
    const QScreen *screen = window.screen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

QSize FrameSize(const QWidget &window)
{
    // The toolkit knows no separate dialog frame: the frame the window has is the one it has.
    const QMargins margins = FrameMargins(window);
    return {margins.left(), margins.bottom()};
}

bool ApplicationMinimized()
{
    bool onScreen = false;
    for (const QWindow *window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible())
            continue;
        if (!(window->windowStates() & Qt::WindowMinimized))
            return false;
        onScreen = true;
    }
    return onScreen;
}

void ClearNativeWindowTitle(QWidget &window)
{
    // Other window systems (Wayland) take the caption only as the toolkit gives it.
    ClearWindowCaptions(window);
}

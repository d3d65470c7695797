#pragma once

#include <QChar>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

// What differs between Windows and other systems for the interface.

// The folder of the running program, where "Tessaro.ini" lives.
QString ProgramFolder();

// The separator that ends server and database folders: "\" on Windows, "/" elsewhere.
QChar FolderSeparator();

// Window placement, in the terms of the Windows window manager (GetWindowPlacement), which the
// settings file keeps. Elsewhere the same values are derived from the toolkit's geometry and state.

// Show states of a placement.
constexpr int SwHide = 0;
constexpr int SwShowNormal = 1;
constexpr int SwShowMinimized = 2;
constexpr int SwShowMaximized = 3;
// Further codes a stored placement may hold that minimize the window.
constexpr int SwMinimize = 6;
constexpr int SwShowMinNoActive = 7;
constexpr int SwForceMinimize = 11;

// The placement flag of a minimized window that returns to the maximized state.
constexpr int WpfRestoreToMaximized = 2;

// The window states in which a window's frame is not its normal one.
constexpr Qt::WindowStates AlteredWindowStates = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

// A rectangle as Windows gives it: right and bottom lie just outside.
struct TPlacementRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    bool operator==(const TPlacementRect &) const = default;
};

// Positions and the normal rectangle (the outer frame of the window when it is neither minimized
// nor maximized) are in work-area coordinates: relative to the top left corner of the primary
// monitor's work area.
struct TWindowPlacement {
    int Flags = 0;
    int ShowCmd = SwShowNormal;
    QPoint MinPosition{-1, -1};
    QPoint MaxPosition{-1, -1};
    TPlacementRect NormalPosition;
};

TWindowPlacement ReadWindowPlacement(const QWidget &window);

// Sets the positions, the normal rectangle and the show state. SwHide is for a window not yet on
// screen: it keeps its state and appears through its ordinary showing.
void ApplyWindowPlacement(QWidget &window, const TWindowPlacement &placement);

// Whether the window is on screen already. A widget counts as visible from the moment its show
// event is sent, before the window system shows it.
bool WindowOnScreen(const QWidget &window);

// Whether the window's outer frame is known. A window manager on an X server frames a window only
// after it appears; one that says beforehand what frame it will give (when asked as the window is
// first shown) makes it known before. Without such an answer the window has only its inner
// rectangle until it is framed.
bool FrameKnown(const QWidget &window);

// The window's outer frame in screen coordinates while it is in the normal state: its frame once
// known, its inner rectangle before.
QRect OuterFrame(const QWidget &window);

// Raises the window and asks the window system to make it the active window. `insist` is for a
// request repeated because the first went unanswered: it moves the keyboard focus to the window
// directly, at the window system's current time, where the window manager leaves that possible.
void RequestActivation(QWidget &window, bool insist);

// Whether the window system's keyboard focus is in the window, asked of the window system itself.
bool HasSystemFocus(const QWidget &window);

// Whether a point in work-area coordinates lies on some monitor.
bool PointOnMonitor(QPoint point);

// The bounding rectangle of all monitors, in pixels.
QSize DesktopSize();

// The logical resolution, in dots per inch, of the screen the window is on.
int LogicalDpi(const QWidget &window);

// The width and height of the window's frame: its sizing frame when it can be resized, else its
// dialog frame.
QSize FrameSize(const QWidget &window);

// Whether the program as a whole is minimized: it has windows on screen and all of them are.
bool ApplicationMinimized();

// Gives the window's native window an empty caption. The toolkit puts the program's name in the
// place of an empty title; this undoes that where the window system shows the caption.
void ClearNativeWindowTitle(QWidget &window);

#pragma once

#include <QMargins>

#include <optional>

class QWidget;

// What the Unix interface asks of an X server directly, through XCB, where the toolkit offers no
// call of its own: the frame a window manager gives a window, the keyboard focus, and the caption
// it shows. Only Platform_unix.cpp uses this. Every call does nothing, or gives nothing, when the
// program does not run on an X server.

// Whether the program shows its windows on an X server.
bool OnXServer();

// Asks the window manager, once per window and before the window appears, for the frame it will
// give the window, and waits briefly for the answer: with the frame known in advance the window
// can be placed by its outer rectangle from the start, and a window that opens maximized gets the
// right normal rectangle behind it. Only a window manager that says it answers is asked.
void RequestFrameExtents(QWidget &window);

// The frame extents (left, top, right, bottom) the window manager has set on the window, if any.
std::optional<QMargins> FrameExtents(const QWidget &window);

// Moves the X server's keyboard focus to the window. The toolkit's own request carries the time of
// the last event it saw; a window manager that changed the focus later, on its own clock, makes the
// X server ignore it. The current time cannot be too old.
void SetInputFocus(QWidget &window);

// Whether the X server's keyboard focus is in the window; nothing off an X server.
std::optional<bool> HasInputFocus(const QWidget &window);

// Empties both captions an X window manager may show (_NET_WM_NAME, and WM_NAME for older ones).
void ClearWindowCaptions(QWidget &window);

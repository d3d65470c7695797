#pragma once

class QWidget;

// Makes the window the active one, in front, with the keyboard focus, and sees that the window
// system really moved the focus there. A window manager may let a plain activation request go
// unanswered (on an X server, one that arrives while it is still busy with the click that caused
// it); the request is then repeated for a short while, as long as the focus stays where it was and
// no modal dialog has opened meanwhile.
void ActivateWindow(QWidget &window);

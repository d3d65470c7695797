#pragma once

#include <Qt>

class QWidget;

// What every dialog of the program is to the window manager: a dialog transient for its owner,
// with a title bar, system menu and close box, and no minimise or maximise box.
constexpr Qt::WindowFlags DialogWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// Brings the dialog back to the normal state whenever the window manager minimises or maximises
// it. Some window managers offer both for every dialog, whatever its hints say, and minimise a
// dialog together with its owner: a minimised modal dialog would take the whole program off the
// screen with no task bar to bring it back.
void KeepDialogNormal(QWidget &dialog);

#pragma once

class QWidget;

// Centres the window's normal frame on the work area of its screen and keeps its show state: a
// window that is to open maximized (its state set before it is first shown) opens maximized and
// comes back to the centre when restored. Moving a maximized window would end its maximized state.
void CentreWindow(QWidget &window);

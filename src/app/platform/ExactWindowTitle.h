#pragma once

class QString;
class QWidget;

// Sets the window's caption exactly as given, an empty one included: the toolkit shows the
// program's name in the place of an empty title, also when the window is shown later or again.
void SetExactWindowTitle(QWidget &window, const QString &title);

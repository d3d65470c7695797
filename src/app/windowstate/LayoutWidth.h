#pragma once

class QWidget;

// The width a widget has in its window's layout, also before that layout has been applied. A
// pane of a horizontal splitter on a tab page that was never shown has not been laid out yet: its
// own width is still that of a new widget, while its splitter already holds the width it will get.
int LayoutWidth(const QWidget &widget);

// Gives the widget this width in its window's layout; a splitter pane's neighbour takes up the
// difference, so that the pane gets the width exactly.
void SetLayoutWidth(QWidget &widget, int width);

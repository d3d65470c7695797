#pragma once

#include <QTabWidget>

// A tab set whose last tab gives way when the captions do not fit the width: its caption is
// shortened in the middle, so the tabs before it always stay whole and in view. A tab bar that
// scrolls instead can push a tab out of view, where the user no longer finds it.
class TElidingTabWidget : public QTabWidget {
public:
    explicit TElidingTabWidget(QWidget *parent = nullptr);
};

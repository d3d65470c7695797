#include "app/ElidingTabWidget.h"

#include <QTabBar>

namespace {

class TLastTabElidingBar : public QTabBar {
public:
    explicit TLastTabElidingBar(QWidget *parent)
        : QTabBar(parent)
    {
        setElideMode(Qt::ElideMiddle);
        // Should the tabs still not fit, they are cut at the right end rather than scrolled, so the
        // first tab keeps its place whatever happens to the width.
        setUsesScrollButtons(false);
    }

protected:
    // The bar shrinks tabs down to their minimum before it scrolls; only the last one may shrink.
    QSize minimumTabSizeHint(int index) const override
    {
        return index == count() - 1 ? QTabBar::minimumTabSizeHint(index) : tabSizeHint(index);
    }
};

} // namespace

TElidingTabWidget::TElidingTabWidget(QWidget *parent)
    : QTabWidget(parent)
{
    setTabBar(new TLastTabElidingBar(this));
}

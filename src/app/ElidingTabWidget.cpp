#include "app/ElidingTabWidget.h"

#include <QTabBar>

namespace {

class TLastTabElidingBar : public QTabBar {
public:
    explicit TLastTabElidingBar(QWidget *parent)
        : QTabBar(parent)
    {
        setElideMode(Qt::ElideMiddle);
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

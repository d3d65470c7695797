#include "app/platform/FramePlacement.h"

#include "app/platform/Platform.h"

#include <QEvent>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace {

const char *const WaitingPlacementName = "tessaroFramePlacement";

// With the frame known, the inner rectangle is placed by the frame's margins: the widget's own
// idea of its frame, which move() goes by, can be out of date. Before, move() is all there is.
void Apply(QWidget &window, const TFramePlace &place)
{
    const QRect frame = OuterFrame(window);
    if (!FrameKnown(window)) {
        window.move(place(frame.size()));
        return;
    }
    const QRect inner = window.geometry();
    window.setGeometry(QRect(place(frame.size()) + (inner.topLeft() - frame.topLeft()), inner.size()));
}

// Makes the placement again once the window's frame is known, then goes.
class TWaitingPlacement : public QObject {
public:
    TWaitingPlacement(QWidget &window, TFramePlace place)
        : QObject(&window),
          FWindow(window),
          FPlace(std::move(place))
    {
        setObjectName(QLatin1String(WaitingPlacementName));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // The frame becomes known somewhere between mapping and the first paint.
        const QEvent::Type type = event->type();
        if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Paint && type != QEvent::WindowActivate)
            return false;
        if (!FWindow.isVisible() || !FrameKnown(FWindow))
            return false;
        FWindow.removeEventFilter(this);
        Apply(FWindow, FPlace);
        deleteLater();
        return false;
    }

private:
    QWidget &FWindow;
    TFramePlace FPlace;
};

} // namespace

void PlaceFrame(QWidget &window, const TFramePlace &place)
{
    delete window.findChild<QObject *>(QLatin1String(WaitingPlacementName), Qt::FindDirectChildrenOnly);
    Apply(window, place);
    if (!FrameKnown(window))
        new TWaitingPlacement(window, place);
}

void CentreOnScreen(QWidget &window)
{
    const QWidget *owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    const QScreen *screen = owner ? owner->screen() : window.screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    PlaceFrame(window, [area](QSize frame) {
        QRect rect({}, frame);
        rect.moveCenter(area.center());
        return rect.topLeft();
    });
}

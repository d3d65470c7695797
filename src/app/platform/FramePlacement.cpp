#include "app/platform/FramePlacement.h"

#include "app/platform/FrameWait.h"
#include "app/platform/Platform.h"

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

} // namespace

void PlaceFrame(QWidget &window, const TFramePlace &place)
{
    Apply(window, place);
    // Until the frame is known, the placement is made again once it is; either way this replaces
    // a placement still waiting for it.
    std::function<bool()> again;
    if (!FrameKnown(window)) {
        again = [&window, place] {
            if (!window.isVisible() || !FrameKnown(window))
                return false;
            Apply(window, place);
            return true;
        };
    }
    RetryUntilFramed(window, WaitingPlacementName, std::move(again));
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

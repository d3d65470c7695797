#pragma once

#include "ProcessClock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QWidget>

// When a window was first painted, as the user sees it. Showing a window only asks for a paint;
// it comes once the window system has exposed the window. The first paint event the window gets
// starts the painting of it and of all its children, which ends with the flush to the screen in
// the same delivery: a call queued at that event runs once the whole window is painted.
class TFirstPaint : public QObject {
public:
    struct TTime {
        qint64 Ns; // on the monotonic clock (MonotonicNanoseconds)
        double CpuMs; // processor time of the process by then
    };

    // Watches `window` from now on: made before the window is shown.
    explicit TFirstPaint(QWidget &window) { window.installEventFilter(this); }

    // Processes events until the window has been painted, and tells when that was.
    TTime Wait()
    {
        while (!FPainted)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return FTime;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !FPaintStarted) {
            FPaintStarted = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    FTime = {MonotonicNanoseconds(), CpuMilliseconds()};
                    FPainted = true;
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool FPaintStarted = false;
    bool FPainted = false;
    TTime FTime{};
};

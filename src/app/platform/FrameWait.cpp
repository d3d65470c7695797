#include "app/platform/FrameWait.h"

#include <QEvent>
#include <QWidget>

namespace {

class TFrameWaiter : public QObject {
public:
    TFrameWaiter(QWidget &window, const char *name, std::function<bool()> attempt)
        : QObject(&window),
          FWindow(window),
          FAttempt(std::move(attempt))
    {
        setObjectName(QLatin1String(name));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Paint && type != QEvent::WindowActivate)
            return false;
        if (!FAttempt())
            return false;
        FWindow.removeEventFilter(this);
        deleteLater();
        return false;
    }

private:
    QWidget &FWindow;
    std::function<bool()> FAttempt;
};

} // namespace

void RetryUntilFramed(QWidget &window, const char *name, std::function<bool()> attempt)
{
    delete window.findChild<QObject *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    if (attempt)
        new TFrameWaiter(window, name, std::move(attempt));
}

#include "app/platform/ExactWindowTitle.h"

#include "app/platform/Platform.h"

#include <QEvent>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace {

const char *const KeeperProperty = "tessaroExactTitle";

// The toolkit writes the native caption whenever the title is set and when the native window is
// created, which happens before the window's show event.
class TEmptyTitleKeeper : public QObject {
public:
    explicit TEmptyTitleKeeper(QWidget &window)
        : QObject(&window),
          FWindow(window)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Show || type == QEvent::WindowTitleChange) && FWindow.windowTitle().isEmpty())
            ClearNativeWindowTitle(FWindow);
        return false;
    }

private:
    QWidget &FWindow;
};

} // namespace

void SetExactWindowTitle(QWidget &window, const QString &title)
{
    if (!window.property(KeeperProperty).toBool()) {
        window.setProperty(KeeperProperty, true);
        new TEmptyTitleKeeper(window);
    }
    window.setWindowTitle(title);
}

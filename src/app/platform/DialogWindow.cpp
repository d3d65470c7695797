#include "app/platform/DialogWindow.h"

#include "app/platform/Platform.h"

#include <QEvent>
#include <QMetaObject>
#include <QWidget>

namespace {

const char *const GuardName = "tessaroNormalDialog";

class TNormalDialog : public QObject {
public:
    explicit TNormalDialog(QWidget &dialog)
        : QObject(&dialog),
          FDialog(dialog)
    {
        setObjectName(QLatin1String(GuardName));
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::WindowStateChange && (FDialog.windowState() & AlteredWindowStates)) {
            // After the state change has been handled, not inside it.
            QMetaObject::invokeMethod(
                this, [this] { FDialog.setWindowState(FDialog.windowState() & ~AlteredWindowStates); },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget &FDialog;
};

} // namespace

void KeepDialogNormal(QWidget &dialog)
{
    if (!dialog.findChild<QObject *>(QLatin1String(GuardName), Qt::FindDirectChildrenOnly))
        new TNormalDialog(dialog);
}

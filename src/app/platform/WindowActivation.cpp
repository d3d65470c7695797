#include "app/platform/WindowActivation.h"

#include "app/platform/Platform.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

const char *const RetryName = "tessaroActivation";
constexpr int RetryIntervalMs = 40;
constexpr int MaxRetries = 50; // about two seconds
constexpr int SteadyChecks = 5;

class TActivationRetry : public QObject {
public:
    explicit TActivationRetry(QWidget &window)
        : QObject(&window),
          FWindow(window),
          FLeftWindow(QApplication::activeWindow())
    {
        setObjectName(QLatin1String(RetryName));
        FTimer.setInterval(RetryIntervalMs);
        connect(&FTimer, &QTimer::timeout, this, &TActivationRetry::Check);
        FTimer.start();
    }

private:
    void Check()
    {
        const QWidget *active = QApplication::activeWindow();
        // The user has gone on elsewhere: that is not to be overridden.
        const bool userWentOn =
            QApplication::activeModalWidget() || (active && active != &FWindow && active != FLeftWindow.data());
        if (userWentOn || ++FTries > MaxRetries || !FWindow.isVisible()) {
            Finish();
            return;
        }
        // The window manager may still hand the focus back to the window left, while it finishes
        // with the click that led here: the focus has to stay for a moment.
        if (HasSystemFocus(FWindow)) {
            if (++FSteady >= SteadyChecks)
                Finish();
            return;
        }
        FSteady = 0;
        RequestActivation(FWindow, true);
    }

    void Finish()
    {
        FTimer.stop();
        deleteLater();
    }

    QWidget &FWindow;
    QPointer<QWidget> FLeftWindow;
    QTimer FTimer;
    int FTries = 0;
    int FSteady = 0;
};

} // namespace

void ActivateWindow(QWidget &window)
{
    RequestActivation(window, false);
    delete window.findChild<QObject *>(QLatin1String(RetryName), Qt::FindDirectChildrenOnly);
    new TActivationRetry(window);
}

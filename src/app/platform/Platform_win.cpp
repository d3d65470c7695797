// GetDpiForWindow is declared for Windows 10 and later only.
#if !defined(WINVER) || WINVER < 0x0A00
#undef WINVER
#define WINVER 0x0A00
#endif
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0A00
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include "app/platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <windows.h>

QString ProgramFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QChar FolderSeparator()
{
    return u'\\';
}

// The placement is the window manager's own, in physical pixels, as GetWindowPlacement gives it.

namespace {

HWND WindowHandle(const QWidget &window)
{
    return reinterpret_cast<HWND>(window.winId());
}

} // namespace

TWindowPlacement ReadWindowPlacement(const QWidget &window)
{
    TWindowPlacement placement;
    WINDOWPLACEMENT native{};
    native.length = sizeof(native);
    if (!::GetWindowPlacement(WindowHandle(window), &native))
        return placement;
    placement.Flags = static_cast<int>(native.flags);
    placement.ShowCmd = static_cast<int>(native.showCmd);
    placement.MinPosition = QPoint(native.ptMinPosition.x, native.ptMinPosition.y);
    placement.MaxPosition = QPoint(native.ptMaxPosition.x, native.ptMaxPosition.y);
    placement.NormalPosition = {native.rcNormalPosition.left, native.rcNormalPosition.top,
                                native.rcNormalPosition.right, native.rcNormalPosition.bottom};
    return placement;
}

void ApplyWindowPlacement(QWidget &window, const TWindowPlacement &placement)
{
    WINDOWPLACEMENT native{};
    native.length = sizeof(native);
    native.flags = static_cast<UINT>(placement.Flags);
    native.showCmd = static_cast<UINT>(placement.ShowCmd);
    native.ptMinPosition = {placement.MinPosition.x(), placement.MinPosition.y()};
    native.ptMaxPosition = {placement.MaxPosition.x(), placement.MaxPosition.y()};
    native.rcNormalPosition = {placement.NormalPosition.Left, placement.NormalPosition.Top,
                               placement.NormalPosition.Right, placement.NormalPosition.Bottom};
    ::SetWindowPlacement(WindowHandle(window), &native);
}

bool WindowOnScreen(const QWidget &window)
{
    return ::IsWindowVisible(WindowHandle(window)) != FALSE;
}

bool FrameKnown(const QWidget &window)
{
    // Windows frames a window when it creates it.
    return window.testAttribute(Qt::WA_WState_Created);
}

QRect OuterFrame(const QWidget &window)
{
    return window.frameGeometry();
}

void RequestActivation(QWidget &window, bool /*insist*/)
{
    // The program is in the foreground when it asks, so Windows grants the request.
    window.raise();
    window.activateWindow();
}

bool HasSystemFocus(const QWidget &window)
{
    return ::GetForegroundWindow() == WindowHandle(window) && window.isActiveWindow();
}

bool PointOnMonitor(QPoint point)
{
    return ::MonitorFromPoint(POINT{point.x(), point.y()}, MONITOR_DEFAULTTONULL) != nullptr;
}

QSize DesktopSize()
{
    return {::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

int LogicalDpi(const QWidget &window)
{
    const UINT dpi = ::GetDpiForWindow(WindowHandle(window));
    return dpi != 0 ? static_cast<int>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

QSize FrameSize(const QWidget &window)
{
    if (::GetWindowLongW(WindowHandle(window), GWL_STYLE) & WS_THICKFRAME)
        return {::GetSystemMetrics(SM_CXFRAME), ::GetSystemMetrics(SM_CYFRAME)};
    return {::GetSystemMetrics(SM_CXDLGFRAME), ::GetSystemMetrics(SM_CYDLGFRAME)};
}

bool ApplicationMinimized()
{
    bool onScreen = false;
    for (const QWindow *window : QGuiApplication::topLevelWindows()) {
        // winId() would create a native window for one that has none yet.
        if (!window->handle())
            continue;
        const HWND handle = reinterpret_cast<HWND>(window->winId());
        if (!::IsWindowVisible(handle))
            continue;
        if (!::IsIconic(handle))
            return false;
        onScreen = true;
    }
    return onScreen;
}

void ClearNativeWindowTitle(QWidget &window)
{
    SetWindowTextW(WindowHandle(window), L"");
}

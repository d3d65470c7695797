#include "app/platform/X11Window_unix.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <algorithm>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

const char *const ExtentsRequestedProperty = "tessaroFrameExtentsRequested";

// The connection to the X server; none off one.
xcb_connection_t *Connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t WindowId(const QWidget &window)
{
    return xcb_window_t(window.winId());
}

xcb_atom_t Atom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

std::optional<QMargins> FrameExtentsOf(xcb_connection_t *connection, xcb_window_t window)
{
    const xcb_atom_t extents = Atom(connection, "_NET_FRAME_EXTENTS");
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, extents, XCB_ATOM_CARDINAL, 0, 4), nullptr);
    std::optional<QMargins> margins;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
        const auto *words = static_cast<const uint32_t *>(xcb_get_property_value(reply));
        margins = QMargins(int(words[0]), int(words[2]), int(words[1]), int(words[3]));
    }
    free(reply);
    return margins;
}

bool WindowManagerSupports(xcb_connection_t *connection, xcb_window_t root, xcb_atom_t atom)
{
    const xcb_atom_t supported = Atom(connection, "_NET_SUPPORTED");
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr);
    bool found = false;
    if (reply && reply->format == 32) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        found = std::find(atoms, atoms + xcb_get_property_value_length(reply) / 4, atom)
            != atoms + xcb_get_property_value_length(reply) / 4;
    }
    free(reply);
    return found;
}

xcb_window_t SystemFocus(xcb_connection_t *connection)
{
    xcb_get_input_focus_reply_t *reply =
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    const xcb_window_t focus = reply ? reply->focus : XCB_NONE;
    free(reply);
    return focus;
}

} // namespace

bool OnXServer()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void RequestFrameExtents(QWidget &window)
{
    xcb_connection_t *connection = Connection();
    if (!connection || window.property(ExtentsRequestedProperty).toBool())
        return;
    window.setProperty(ExtentsRequestedProperty, true);
    const xcb_window_t target = WindowId(window);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    if (!WindowManagerSupports(connection, root, request))
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = target;
    message.type = request;
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
    QElapsedTimer timer;
    timer.start();
    while (!FrameExtentsOf(connection, target) && timer.elapsed() < 500)
        QThread::msleep(2);
}

std::optional<QMargins> FrameExtents(const QWidget &window)
{
    xcb_connection_t *connection = Connection();
    return connection ? FrameExtentsOf(connection, WindowId(window)) : std::nullopt;
}

void SetInputFocus(QWidget &window)
{
    xcb_connection_t *connection = Connection();
    if (!connection)
        return;
    const xcb_window_t target = WindowId(window);
    // The focus can be in the window already while the toolkit, having seen the window manager
    // hand it back and forth, still counts another window as active: a focus change it sees
    // puts that right.
    if (SystemFocus(connection) == target)
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, target, XCB_CURRENT_TIME);
    xcb_flush(connection);
}

std::optional<bool> HasInputFocus(const QWidget &window)
{
    xcb_connection_t *connection = Connection();
    if (!connection)
        return std::nullopt;
    return SystemFocus(connection) == WindowId(window);
}

void ClearWindowCaptions(QWidget &window)
{
    xcb_connection_t *connection = Connection();
    if (!connection || !window.windowHandle())
        return;
    const xcb_window_t id = WindowId(window);
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, Atom(connection, "_NET_WM_NAME"), utf8, 8, 0, nullptr);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection);
}

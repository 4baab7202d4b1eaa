// SPDX-License-Identifier: MIT
#include "capture/platform/CXcbScreenGrabber.h"

#include "app/core/UniqueHandle.h"
#include "capture/CaptureGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cstdlib>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace {

template<typename T> using XcbReply = UniqueHandle<T, std::free>;
using Connection = UniqueHandle<xcb_connection_t, xcb_disconnect>;

// The atoms of an EWMH connection are wiped, not freed.
void WipeEwmh(xcb_ewmh_connection_t* ewmh)
{
    xcb_ewmh_connection_wipe(ewmh);
    delete ewmh;
}
using Ewmh = UniqueHandle<xcb_ewmh_connection_t, WipeEwmh>;

// Deep enough for any window manager's nesting; guards against a broken tree.
constexpr int kMaxTreeDepth = 64;

ForegroundWindow Unavailable(const QString& reason)
{
    ForegroundWindow result;
    result.reason = reason;
    return result;
}

// The child of the root that holds `window`: the window manager's frame around a client,
// or the window itself without a window manager.
xcb_window_t TopLevelOf(xcb_connection_t* c, xcb_window_t window)
{
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree || tree->parent == XCB_NONE || tree->parent == tree->root)
            return window;
        window = tree->parent;
    }
    return window;
}

} // namespace

ForegroundWindow CXcbScreenGrabber::FindForegroundWindow() const
{
    // A separate connection to the display Qt uses ($DISPLAY): it is ours to close, and the
    // screen number comes with it, which Qt's own connection does not expose.
    int screenNumber = 0;
    const Connection connection(xcb_connect(nullptr, &screenNumber));
    xcb_connection_t* c = connection.get();
    if (xcb_connection_has_error(c))
        return Unavailable(QStringLiteral("cannot connect to the X server"));

    Ewmh ewmh(new xcb_ewmh_connection_t {});
    // The cookie array belongs to init_atoms_replies, which also wipes the atoms when it fails.
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(c, ewmh.get());
    if (!cookies || !xcb_ewmh_init_atoms_replies(ewmh.get(), cookies, nullptr)) {
        delete ewmh.release();
        return Unavailable(QStringLiteral("cannot read the EWMH atoms"));
    }

    xcb_window_t active = XCB_NONE;
    if (!xcb_ewmh_get_active_window_reply(
            ewmh.get(), xcb_ewmh_get_active_window(ewmh.get(), screenNumber), &active, nullptr))
        return Unavailable(QStringLiteral("the window manager does not publish _NET_ACTIVE_WINDOW"));

    // Our own dialog may still count as active although it is hidden already: then the window
    // the user worked in before is the topmost one that is not ours.
    std::vector<quint64> stacking;
    xcb_ewmh_get_windows_reply_t clients {};
    if (xcb_ewmh_get_client_list_stacking_reply(
            ewmh.get(), xcb_ewmh_get_client_list_stacking(ewmh.get(), screenNumber), &clients, nullptr)) {
        stacking.assign(clients.windows, clients.windows + clients.windows_len);
        xcb_ewmh_get_windows_reply_wipe(&clients);
    }
    auto isOwn = [&](quint64 window) {
        uint32_t pid = 0;
        if (xcb_ewmh_get_wm_pid_reply(
                ewmh.get(), xcb_ewmh_get_wm_pid(ewmh.get(), xcb_window_t(window)), &pid, nullptr)
            && pid == uint32_t(::getpid()))
            return true;
        for (const QWindow* own : QGuiApplication::allWindows()) {
            if (own->handle() && own->winId() == window)
                return true;
        }
        return false;
    };
    auto isShown = [&](quint64 window) {
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, xcb_window_t(window)), nullptr));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    };
    active = xcb_window_t(CaptureTarget(active, stacking, isOwn, isShown));
    if (active == XCB_NONE)
        return Unavailable(QStringLiteral("no window is active"));

    ForegroundWindow result;
    result.available = true;
    result.id = active;
    // An iconified client is unmapped; like a minimised window elsewhere it has nothing on
    // the screen to copy, so the frame stays empty and the capture fails.
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, active), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return result;

    const xcb_window_t frame = TopLevelOf(c, active);
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, frame), nullptr));
    if (!geometry)
        return result;
    const int border = geometry->border_width;
    result.frame
        = QRect(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
    // Root coordinates span all screens; the capture works in those of the primary one.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        result.frame.translate(-screen->geometry().topLeft());
    return result;
}

void CXcbScreenGrabber::SetTopmost(NativeWindow, bool)
{
    // Deliberately nothing. X11 has no stacking request that can be undone afterwards: raising
    // the window would change its place for good, and _NET_WM_STATE_ABOVE is applied by the
    // window manager at some later moment and would also clear a state the user had set.
    // Window managers keep the active window on top, which is all the copy needs.
}

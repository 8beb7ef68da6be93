#pragma once

#include "platform/windowsweep.h"

#include <xcb/xcb.h>

// The top-level windows of an X11 display, through an xcb connection. Without a window
// manager they are the children of the root window; a window manager reparents them into
// frames of its own and lists them in the root's _NET_CLIENT_LIST. Both are read, each window
// once. Closing is the ICCCM request WM_PROTOCOLS/WM_DELETE_WINDOW, which the window's owner
// answers as if the user had clicked its close box.
class X11TopLevelWindows final : public TopLevelWindows {
public:
    // Bounds on what a sweep reads from a display that may hold anything.
    static constexpr int MaxWindows = 4096;
    static constexpr int MaxTitleBytes = 1024;

    explicit X11TopLevelWindows(xcb_connection_t* connection);

    QList<Handle> list() override;
    QString title(Handle window) override;
    void askToClose(Handle window) override;

private:
    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t* type, int maxBytes);

    xcb_connection_t* connection_;
    xcb_atom_t netWmName_ = XCB_ATOM_NONE;
    xcb_atom_t netClientList_ = XCB_ATOM_NONE;
    xcb_atom_t utf8String_ = XCB_ATOM_NONE;
    xcb_atom_t compoundText_ = XCB_ATOM_NONE;
    xcb_atom_t wmProtocols_ = XCB_ATOM_NONE;
    xcb_atom_t wmDeleteWindow_ = XCB_ATOM_NONE;
};

#pragma once

// Reading an X11 display straight from X (xcb), for the tests that check what X has, not what
// Qt believes.
#include <QByteArray>
#include <QGuiApplication>
#include <QRect>

#include <cstdlib>
#include <xcb/xcb.h>

// This program's own connection; null without X11 (offscreen, Wayland).
inline xcb_connection_t* x11Connection() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

inline xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, qstrlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

inline xcb_window_t rootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

inline xcb_window_t parentOf(xcb_connection_t* c, xcb_window_t window) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    const xcb_window_t parent = tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
    std::free(tree);
    return parent;
}

// The raw value of a window's property, at most maxBytes of it; empty when it is not set.
inline QByteArray propertyOf(xcb_connection_t* c, xcb_window_t window, const char* name,
                             xcb_atom_t type, int maxBytes = 4096) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom(c, name), type, 0, (maxBytes + 3) / 4), nullptr);
    QByteArray value;
    if (reply)
        value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
    std::free(reply);
    return value;
}

inline bool windowManagerRunning(xcb_connection_t* c) {
    return propertyOf(c, rootOf(c), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW).size() == 4;
}

// A top-level window's place and size as X has them, the window manager's frame included: the
// geometry of its ancestor on the root window (its frame, or the window itself on a bare
// display), borders included.
inline QRect outerGeometry(xcb_connection_t* c, xcb_window_t window) {
    const xcb_window_t root = rootOf(c);
    for (xcb_window_t parent; (parent = parentOf(c, window)) != root && parent != XCB_WINDOW_NONE;)
        window = parent;
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    QRect outer;
    if (g)
        outer = QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
    std::free(g);
    return outer;
}

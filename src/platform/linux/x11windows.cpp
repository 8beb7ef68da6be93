#include "platform/linux/x11windows.h"

#include <QSet>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

} // namespace

X11TopLevelWindows::X11TopLevelWindows(xcb_connection_t* connection) : connection_(connection) {
    const struct {
        const char* name;
        xcb_atom_t* atom;
    } atoms[] = {{"_NET_WM_NAME", &netWmName_},   {"_NET_CLIENT_LIST", &netClientList_},
                 {"UTF8_STRING", &utf8String_},   {"COMPOUND_TEXT", &compoundText_},
                 {"WM_PROTOCOLS", &wmProtocols_}, {"WM_DELETE_WINDOW", &wmDeleteWindow_}};
    // All requests first, then all answers: one round trip instead of six.
    xcb_intern_atom_cookie_t cookies[std::size(atoms)];
    for (std::size_t i = 0; i < std::size(atoms); ++i)
        cookies[i] = xcb_intern_atom(connection_, 0, std::strlen(atoms[i].name), atoms[i].name);
    for (std::size_t i = 0; i < std::size(atoms); ++i) {
        const Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        if (reply) *atoms[i].atom = reply->atom;
    }
}

QByteArray X11TopLevelWindows::property(xcb_window_t window, xcb_atom_t name, xcb_atom_t* type,
                                        int maxBytes) {
    *type = XCB_ATOM_NONE;
    if (name == XCB_ATOM_NONE) return {};
    // An error comes back here rather than as an event to Qt's event loop, which would log it.
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection_,
                               xcb_get_property(connection_, 0, window, name,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, (maxBytes + 3) / 4),
                               &error));
    std::free(error);
    if (!reply) return {}; // the window is gone
    *type = reply->type;
    const int bytes = xcb_get_property_value_length(reply.get());
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      qMin(bytes, maxBytes));
}

QList<TopLevelWindows::Handle> X11TopLevelWindows::list() {
    QList<Handle> windows;
    QSet<Handle> seen;
    const auto add = [&](const xcb_window_t* ids, int count) {
        for (int i = 0; i < count && windows.size() < MaxWindows; ++i)
            if (!seen.contains(ids[i])) {
                seen.insert(ids[i]);
                windows.append(ids[i]);
            }
    };
    for (xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection_));
         screen.rem > 0; xcb_screen_next(&screen)) {
        const xcb_window_t root = screen.data->root;
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root), nullptr));
        if (tree)
            add(xcb_query_tree_children(tree.get()), xcb_query_tree_children_length(tree.get()));
        xcb_atom_t type;
        const QByteArray clients =
            property(root, netClientList_, &type, MaxWindows * sizeof(xcb_window_t));
        if (type == XCB_ATOM_WINDOW)
            add(reinterpret_cast<const xcb_window_t*>(clients.constData()),
                clients.size() / sizeof(xcb_window_t));
    }
    return windows;
}

QString X11TopLevelWindows::title(Handle window) {
    // The desktop's own title property, always UTF-8; then the old one, whose text type the
    // owner chose.
    xcb_atom_t type;
    const QByteArray name = property(window, netWmName_, &type, MaxTitleBytes);
    if (type == utf8String_) return QString::fromUtf8(name);
    const QByteArray oldName = property(window, XCB_ATOM_WM_NAME, &type, MaxTitleBytes);
    if (type == utf8String_) return QString::fromUtf8(oldName);
    // Compound text without escape sequences is Latin-1, like STRING. Other character sets
    // are not read: programs that write them set _NET_WM_NAME as well.
    if (type == XCB_ATOM_STRING || (type == compoundText_ && !oldName.contains('\x1b')))
        return QString::fromLatin1(oldName);
    return {};
}

void X11TopLevelWindows::askToClose(Handle window) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = wmProtocols_;
    event.data.data32[0] = wmDeleteWindow_;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
}

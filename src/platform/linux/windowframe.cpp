// The window manager's frame on X11, read from the client window's _NET_FRAME_EXTENTS.
#include "platform/windowframe.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>

#include <cstdlib>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* x11Connection() {
    if (!qGuiApp) return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

WindowFrame::WindowFrame(QWidget* window) : QObject(window), window_(window) {
    xcb_connection_t* c = x11Connection();
    if (!c) return;
    static const char name[] = "_NET_FRAME_EXTENTS";
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    if (reply) extentsAtom_ = reply->atom;
    std::free(reply);
    if (extentsAtom_) QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowFrame::~WindowFrame() {
    if (extentsAtom_) QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::optional<QMargins> WindowFrame::extents() const {
    xcb_connection_t* c = x11Connection();
    if (!c || !extentsAtom_ || !window_->testAttribute(Qt::WA_WState_Created)) return std::nullopt;
    // Left, right, top, bottom, as CARDINALs.
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, xcb_window_t(window_->winId()), extentsAtom_,
                                                XCB_ATOM_CARDINAL, 0, 4),
                               nullptr);
    std::optional<QMargins> frame;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
        const auto* widths = static_cast<const quint32*>(xcb_get_property_value(reply));
        // Beyond int's range a width turns negative, which the caller does not believe.
        frame = QMargins(int(widths[0]), int(widths[2]), int(widths[1]), int(widths[3]));
    }
    std::free(reply);
    return frame;
}

bool WindowFrame::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
    if (notify->atom == extentsAtom_ && window_->testAttribute(Qt::WA_WState_Created) &&
        notify->window == xcb_window_t(window_->winId()))
        // Not from inside Qt's own event handling: the window may resize in answer.
        QMetaObject::invokeMethod(this, &WindowFrame::changed, Qt::QueuedConnection);
    return false;
}

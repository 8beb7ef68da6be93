#include "platform/linux/trayhosts.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdlib>

namespace {

const QString Watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString Kded = QStringLiteral("org.kde.kded5");
const QString HostPrefix = QStringLiteral("org.kde.StatusNotifierHost-");
constexpr int WatcherAnswerMs = 1000;

QDBusMessage hostRegisteredQuestion() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        Watcher, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << Watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

bool saysHostRegistered(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

xcb_atom_t internAtom(xcb_connection_t* c, const QByteArray& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

TrayHosts::TrayHosts(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        auto* watcher =
            new QDBusServiceWatcher(Watcher, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString& oldOwner, const QString&) {
                    if (!oldOwner.isEmpty()) emit statusNotifierHostGone();
                });
        bus.connect(Watcher, WatcherPath, Watcher, QStringLiteral("StatusNotifierHostUnregistered"),
                    this, SLOT(checkStatusNotifierHost()));
        // A panel's host leaving the bus (KDE's watcher may not say so).
        bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"),
                    this, SLOT(nameOwnerChanged(QString, QString, QString)));
    }

    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    int screen = 0;
    x11_ = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(x11_)) {
        xcb_disconnect(x11_);
        x11_ = nullptr;
        return;
    }
    xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(x11_));
    for (int i = 0; i < screen && roots.rem > 1; ++i)
        xcb_screen_next(&roots);
    root_ = roots.data->root;
    selection_ = internAtom(x11_, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen));
    manager_ = internAtom(x11_, "MANAGER");
    // A tray that takes the selection tells the root window's StructureNotify listeners.
    const uint32_t rootEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(x11_, root_, XCB_CW_EVENT_MASK, &rootEvents);
    watchTrayOwner();
    x11Events_ = new QSocketNotifier(xcb_get_file_descriptor(x11_), QSocketNotifier::Read, this);
    connect(x11Events_, &QSocketNotifier::activated, this, &TrayHosts::readX11Events);
}

TrayHosts::~TrayHosts() {
    delete x11Events_;
    if (x11_) xcb_disconnect(x11_);
}

// KDE's watcher lives in kded, apart from the panel (plasmashell) that shows the items, and
// says a host is registered whether the panel runs or not: there the panel's host, which owns
// a name org.kde.StatusNotifierHost-PID, must be on the bus too. Elsewhere (GNOME's extension,
// XFCE's and LXQt's panels) the watcher is the host.
bool TrayHosts::statusNotifierHost() const {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusConnectionInterface* names = bus.interface();
    const QString watcher = names->serviceOwner(Watcher);
    if (watcher.isEmpty() ||
        !saysHostRegistered(bus.call(hostRegisteredQuestion(), QDBus::Block, WatcherAnswerMs)))
        return false;
    if (watcher != names->serviceOwner(Kded).value()) return true;
    const QStringList registered = names->registeredServiceNames();
    return std::any_of(registered.begin(), registered.end(),
                       [](const QString& name) { return name.startsWith(HostPrefix); });
}

// A host has left: whether one is left decides.
void TrayHosts::checkStatusNotifierHost() {
    if (!statusNotifierHost()) emit statusNotifierHostGone();
}

void TrayHosts::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
    if (newOwner.isEmpty() && name.startsWith(HostPrefix)) checkStatusNotifierHost();
}

bool TrayHosts::xembedTray() {
    if (!x11_) return false;
    readX11Events(); // what the server has said meanwhile
    return trayOwner_ != XCB_WINDOW_NONE;
}

bool TrayHosts::xembedTrayShows() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return xembedTray() && (!bus.isConnected() || !bus.interface()->isServiceRegistered(Watcher));
}

// Reads who owns the tray selection now and asks to be told when that window goes. A window
// destroyed between the two questions is found by asking again.
void TrayHosts::watchTrayOwner() {
    trayOwner_ = XCB_WINDOW_NONE;
    if (selection_ == XCB_ATOM_NONE) return;
    for (int attempt = 0; attempt < 3; ++attempt) {
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(x11_, xcb_get_selection_owner(x11_, selection_), nullptr);
        const xcb_window_t window = owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
        std::free(owner);
        if (window == XCB_WINDOW_NONE) return;
        const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_generic_error_t* error = xcb_request_check(
            x11_, xcb_change_window_attributes_checked(x11_, window, XCB_CW_EVENT_MASK, &events));
        if (!error) {
            trayOwner_ = window;
            return;
        }
        std::free(error);
    }
}

void TrayHosts::readX11Events() {
    bool changed = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(x11_)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_DESTROY_NOTIFY &&
            reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == trayOwner_) {
            watchTrayOwner();
            changed = true;
        } else if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == manager_ && message->format == 32 &&
                message->data.data32[1] == selection_) {
                const xcb_window_t before = trayOwner_;
                watchTrayOwner();
                changed = changed || trayOwner_ != before;
            }
        }
        std::free(event);
    }
    if (xcb_connection_has_error(x11_)) {
        // The display has gone: nothing shows an XEmbed icon any more.
        x11Events_->setEnabled(false);
        changed = changed || trayOwner_ != XCB_WINDOW_NONE;
        trayOwner_ = XCB_WINDOW_NONE;
    }
    if (changed) emit xembedTrayChanged();
}

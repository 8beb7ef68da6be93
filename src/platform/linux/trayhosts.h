#pragma once

#include <QObject>

#include <xcb/xcb.h>

class QSocketNotifier;

// The two kinds of notification area of a Linux desktop and whether each is there: a
// StatusNotifier host, known through the watcher on the session bus (org.kde.StatusNotifierWatcher,
// which KDE's kded and GNOME's AppIndicator extension own), and an XEmbed tray on X11, the owner
// of the display's _NET_SYSTEM_TRAY_S<screen> selection. Each says when it goes.
class TrayHosts : public QObject {
    Q_OBJECT
public:
    explicit TrayHosts(QObject* parent = nullptr);
    ~TrayHosts() override;

    // Whether a watcher is on the bus and says a host is registered with it (on KDE, also
    // whether the panel's host is on the bus). Asks the watcher, for at most a second.
    bool statusNotifierHost() const;
    // Whether the XEmbed tray selection has an owner now.
    bool xembedTray();
    // Whether an XEmbed tray shows icons itself. Where a StatusNotifier watcher is on the bus,
    // the tray is taken to hand its icons on to that watcher (KDE's xembedsniproxy, GNOME's
    // AppIndicator extension): they show only while the watcher has a host.
    bool xembedTrayShows();

signals:
    // The watcher has left the bus (or another has taken its name), or its last host has gone.
    void statusNotifierHostGone();
    // The XEmbed tray's selection owner has gone (or another tray has taken the selection).
    void xembedTrayChanged();

private slots:
    void checkStatusNotifierHost();
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    void watchTrayOwner();
    void readX11Events();

    // A connection of its own to the X server, so that what it asks to be told about the root
    // window never changes what Qt's connection is told.
    xcb_connection_t* x11_ = nullptr;
    QSocketNotifier* x11Events_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t selection_ = XCB_ATOM_NONE; // _NET_SYSTEM_TRAY_S<screen>
    xcb_atom_t manager_ = XCB_ATOM_NONE;   // MANAGER: a tray has taken the selection
    xcb_window_t trayOwner_ = XCB_WINDOW_NONE;
};

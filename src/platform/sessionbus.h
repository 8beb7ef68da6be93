#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

// Without an address for the session bus, the first question to D-Bus makes libdbus start one
// of its own (dbus-launch and a dbus-daemon, which outlive the program), and Qt asks at once:
// its accessibility bridge, the global-menu check of the menu bar and the StatusNotifier check
// of the tray icon. The program then keeps off D-Bus and gets the XEmbed tray.

// Whether the session bus can be reached without starting one: DBUS_SESSION_BUS_ADDRESS holds an
// address (`address`, null when unset), or the user's bus listens at $XDG_RUNTIME_DIR/bus, which
// libdbus finds by itself.
bool sessionBusReachable(const QByteArray& address, bool userBusExists);

// Run first in main, before anything asks D-Bus: without a reachable session bus, points this
// process's D-Bus address at nothing ("disabled:", which libdbus refuses at once).
void keepOffUnreachableSessionBus();

// The environment for the programs the connector starts: its own, with the D-Bus address as it
// was before keepOffUnreachableSessionBus().
QProcessEnvironment environmentForChildren();

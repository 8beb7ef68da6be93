#!/usr/bin/env bash
# Builds everything and runs every test.
source "$(dirname "$0")/common.sh"
# Xvfb, a small window manager and a small notification area for the tests that need a real
# X11 display; the desktop file checker for the install test.
# dbus-daemon: a private session bus for the StatusNotifier tray test; a headless Weston and
# Qt's Wayland plugin for the Wayland test. dbus-x11: libdbus's dbus-launch, which the start-up
# test needs to see whether a bus is started where the session has none. at-spi2-core,
# python3-gi and gir1.2-atspi-2.0: the accessibility bus and a reader of it, for the test of what
# a screen reader finds.
ensure_packages "${BUILD_PACKAGES[@]}" xvfb xdotool trayer jwm desktop-file-utils dbus-daemon \
    weston qt6-wayland dbus-x11 at-spi2-core python3-gi gir1.2-atspi-2.0
build
ctest --test-dir build --output-on-failure -j 2

#!/usr/bin/env bash
# Builds everything and runs every test.
source "$(dirname "$0")/common.sh"
# Xvfb, a small window manager and a small notification area for the tests that need a real
# X11 display; the desktop file checker for the install test.
# dbus-daemon: a private session bus for the StatusNotifier tray test; a headless Weston and
# Qt's Wayland plugin for the Wayland test.
ensure_packages "${BUILD_PACKAGES[@]}" xvfb xdotool trayer jwm desktop-file-utils dbus-daemon \
    weston qt6-wayland
build
ctest --test-dir build --output-on-failure -j 2

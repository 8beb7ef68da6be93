#pragma once

// libnm's headers, some of which (nm-errors.h) declare their functions for C only. GLib's own
// come first, outside the C block, as they hold C++ of their own.
#include <gio/gio.h>
#include <glib-object.h>
extern "C" {
#include <NetworkManager.h>
#include <nm-secret-agent-old.h>
}

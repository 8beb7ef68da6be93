// Windows' notification area (Shell_NotifyIcon) reports double clicks itself.
#include "platform/trayicon.h"

bool TrayIcon::statusNotifierHost() {
    return false;
}

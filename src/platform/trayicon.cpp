#include "trayicon.h"

TrayIcon::TrayIcon(const QIcon& icon, QObject* parent) : QObject(parent), icon_(icon) {
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::DoubleClick ||
                    (why == QSystemTrayIcon::Trigger && statusNotifierHost()))
                    emit restoreRequested();
            });
}

bool TrayIcon::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::add(const QString& toolTip) {
    icon_.setToolTip(toolTip);
    icon_.show();
}

void TrayIcon::remove() {
    icon_.hide();
}

void TrayIcon::notify(const QString& title, const QString& text) {
    icon_.showMessage(title, text, icon_.icon());
}

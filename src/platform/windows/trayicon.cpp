// Windows' notification area (Shell_NotifyIcon), which reports double clicks itself. Explorer
// puts it back after a restart and Qt adds the icon to it again, so it never goes for good.
#include "platform/trayicon.h"

#include <QSystemTrayIcon>

struct TrayIcon::Parts {
    QSystemTrayIcon icon;
};

TrayIcon::TrayIcon(const QIcon& icon, const QString&, QObject* parent)
    : QObject(parent), d_(new Parts) {
    d_->icon.setIcon(icon);
    connect(&d_->icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::DoubleClick) emit restoreRequested();
            });
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::add(const QString& toolTip) {
    d_->icon.setToolTip(toolTip);
    d_->icon.show();
}

void TrayIcon::remove() {
    d_->icon.hide();
}

bool TrayIcon::shown() const {
    return d_->icon.isVisible();
}

QRect TrayIcon::geometry() const {
    return d_->icon.geometry();
}

QString TrayIcon::toolTip() const {
    return d_->icon.toolTip();
}

void TrayIcon::setToolTip(const QString& toolTip) {
    d_->icon.setToolTip(toolTip);
}

void TrayIcon::notify(const QString& title, const QString& text) {
    d_->icon.showMessage(title, text, d_->icon.icon());
}

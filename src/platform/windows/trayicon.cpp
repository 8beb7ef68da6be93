// Windows' notification area (Shell_NotifyIcon), which reports double clicks itself. Explorer
// puts it back after a restart and Qt adds the icon to it again, so it never goes for good.
#include "platform/trayicon.h"

#include <QSystemTrayIcon>

// Qt's icon, and the image it shows, are made at the first minimise: nothing of them is needed
// before.
struct TrayIcon::Parts {
    QString imageFile;
    std::unique_ptr<QSystemTrayIcon> icon;
};

TrayIcon::TrayIcon(const QString& iconFile, const QString&, QObject* parent)
    : QObject(parent), d_(new Parts{iconFile, nullptr}) {}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::add(const QString& toolTip) {
    if (!d_->icon) {
        d_->icon = std::make_unique<QSystemTrayIcon>(QIcon(d_->imageFile));
        connect(d_->icon.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason why) {
                    if (why == QSystemTrayIcon::DoubleClick) emit restoreRequested();
                });
    }
    d_->icon->setToolTip(toolTip);
    d_->icon->show();
}

void TrayIcon::remove() {
    if (d_->icon) d_->icon->hide();
}

bool TrayIcon::shown() const {
    return d_->icon && d_->icon->isVisible();
}

QRect TrayIcon::geometry() const {
    return d_->icon ? d_->icon->geometry() : QRect();
}

QString TrayIcon::toolTip() const {
    return d_->icon ? d_->icon->toolTip() : QString();
}

void TrayIcon::setToolTip(const QString& toolTip) {
    if (d_->icon) d_->icon->setToolTip(toolTip);
}

void TrayIcon::notify(const QString& title, const QString& text) {
    if (d_->icon) d_->icon->showMessage(title, text, d_->icon->icon());
}

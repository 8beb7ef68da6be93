// The notification area of a Linux desktop. A StatusNotifier host is preferred where there is
// one (the item of our own, which carries the title people read); otherwise an XEmbed tray
// shows Qt's icon. Whichever showed the icon is watched while it does.
#include "platform/trayicon.h"

#include "platform/linux/statusnotifieritem.h"
#include "platform/linux/trayhosts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSystemTrayIcon>
#include <QVariantMap>

#include <memory>

namespace {

enum class Host { None, StatusNotifier, XEmbed };

} // namespace

struct TrayIcon::Parts {
    TrayIcon* owner;
    QIcon icon;
    StatusNotifierItem item;
    // Made only for an XEmbed tray, and only when no StatusNotifier host is there: Qt decides
    // once per program, at its first icon, whether its icons go to a StatusNotifier host.
    QSystemTrayIcon* xembed = nullptr;
    Host host = Host::None;
    QString toolTip;

    Parts(TrayIcon* owner, const QString& iconFile, const QString& title)
        : owner(owner), icon(iconFile), item(icon, QStringLiteral("miravon-vpn"), title) {}

    // The trays are watched from the first minimise on (a second X connection and the bus's
    // signals): at start-up nothing asks yet.
    TrayHosts& hosts() {
        if (watched) return *watched;
        watched = std::make_unique<TrayHosts>();
        connect(watched.get(), &TrayHosts::statusNotifierHostGone, owner, [this] {
            if (host == Host::StatusNotifier) hostWent();
        });
        // Another tray taking over the selection gets Qt's icon by itself.
        connect(watched.get(), &TrayHosts::xembedTrayChanged, owner, [this] {
            if (host == Host::XEmbed && !watched->xembedTray()) hostWent();
        });
        return *watched;
    }

private:
    void hostWent() {
        owner->remove();
        emit owner->hostGone();
    }

    std::unique_ptr<TrayHosts> watched;
};

TrayIcon::TrayIcon(const QString& iconFile, const QString& title, QObject* parent)
    : QObject(parent), d_(new Parts(this, iconFile, title)) {
    connect(&d_->item, &StatusNotifierItem::activated, this, &TrayIcon::restoreRequested);
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::available() const {
    return d_->hosts().statusNotifierHost() || d_->hosts().xembedTrayShows();
}

void TrayIcon::add(const QString& toolTip) {
    if (shown()) return;
    d_->toolTip = toolTip;
    if (d_->hosts().statusNotifierHost() && d_->item.add(toolTip)) {
        d_->host = Host::StatusNotifier;
    } else if (d_->hosts().xembedTrayShows()) {
        if (!d_->xembed) {
            d_->xembed = new QSystemTrayIcon(d_->icon, this);
            connect(d_->xembed, &QSystemTrayIcon::activated, this,
                    [this](QSystemTrayIcon::ActivationReason why) {
                        if (why == QSystemTrayIcon::DoubleClick) emit restoreRequested();
                    });
        }
        d_->xembed->setToolTip(toolTip);
        d_->xembed->show();
        d_->host = Host::XEmbed;
    }
}

void TrayIcon::remove() {
    if (d_->host == Host::StatusNotifier) d_->item.remove();
    if (d_->host == Host::XEmbed) d_->xembed->hide();
    d_->host = Host::None;
}

bool TrayIcon::shown() const {
    return d_->host != Host::None;
}

QRect TrayIcon::geometry() const {
    return d_->host == Host::XEmbed ? d_->xembed->geometry() : QRect();
}

QString TrayIcon::toolTip() const {
    return d_->toolTip;
}

void TrayIcon::setToolTip(const QString& toolTip) {
    d_->toolTip = toolTip;
    d_->item.setToolTip(toolTip);
    if (d_->xembed) d_->xembed->setToolTip(toolTip);
}

void TrayIcon::notify(const QString& title, const QString& text) {
    if (d_->host == Host::XEmbed) {
        d_->xembed->showMessage(title, text, d_->icon);
    } else if (d_->host == Host::StatusNotifier) {
        // Where StatusNotifier hosts show icons, the desktop's notification server shows
        // passing messages.
        QDBusMessage notify = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        notify << d_->item.title() << uint(0) << QStringLiteral("miravon-vpn") << title << text
               << QStringList()
               << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("miravon-vpn")}}
               << -1;
        QDBusConnection::sessionBus().call(notify, QDBus::NoBlock);
    }
}

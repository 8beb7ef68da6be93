// A StatusNotifier watcher and host for the tray test, on the session bus it is started on.
// It takes the items that register and says "registered SERVICE" on standard output, and
// "unregistered SERVICE" when an item's name leaves the bus. Unless started with --passive,
// 300 ms after a registration it reads the item's Title and ToolTip, says "title TITLE" and
// "tooltip TITLE / TEXT", and calls the item's Activate, as a panel does on a click.
// Lines on standard input change its host: "host-gone" unregisters it (the watcher stays, as
// KDE's does when the panel ends), "host" registers it again. With --kded it stands for KDE's
// pair: the watcher in kded (it owns org.kde.kded5 too and always says a host is registered)
// and the panel's host, a name org.kde.StatusNotifierHost-PID that "host-gone" takes off the
// bus and "host" puts back. Says "ready" once it serves.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

QVariant itemProperty(const QString& service, const QString& object, const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, object, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
    return reply.arguments().isEmpty() ? QVariant()
                                       : reply.arguments().first().value<QDBusVariant>().variant();
}

// The tooltip's title and text out of its (sa(iiay)ss) structure.
QString toolTipText(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) return QStringLiteral("(none)");
    const QDBusArgument tip = value.value<QDBusArgument>();
    QString icon, title, text;
    tip.beginStructure();
    tip >> icon;
    tip.beginArray();
    while (!tip.atEnd()) {
        int width = 0, height = 0;
        QByteArray data;
        tip.beginStructure();
        tip >> width >> height >> data;
        tip.endStructure();
    }
    tip.endArray();
    tip >> title >> text;
    tip.endStructure();
    return title + " / " + text;
}

} // namespace

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    Watcher(bool activate, bool kded) : activate_(activate), kded_(kded) {
        names_.setConnection(QDBusConnection::sessionBus());
        names_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&names_, &QDBusServiceWatcher::serviceUnregistered, this,
                [this](const QString& service) {
                    names_.removeWatchedService(service);
                    say("unregistered " + service);
                });
    }
    bool hostRegistered() const { return host_; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return items_; }

    void setHost(bool registered) {
        if (kded_) {
            // kded's watcher says nothing: the panel's name comes and goes.
            const QString name = QStringLiteral("org.kde.StatusNotifierHost-%1")
                                     .arg(QCoreApplication::applicationPid());
            if (registered)
                QDBusConnection::sessionBus().registerService(name);
            else
                QDBusConnection::sessionBus().unregisterService(name);
            return;
        }
        host_ = registered;
        if (registered)
            emit StatusNotifierHostRegistered();
        else
            emit StatusNotifierHostUnregistered();
    }

public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message) {
        const bool path = serviceOrPath.startsWith(u'/');
        const QString service = path ? message.service() : serviceOrPath;
        const QString object = path ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        items_ << service + object;
        names_.addWatchedService(service);
        say("registered " + service);
        emit StatusNotifierItemRegistered(service + object);
        if (!activate_) return;
        QTimer::singleShot(300, this, [service, object] {
            say("title " + itemProperty(service, object, QStringLiteral("Title")).toString());
            say("tooltip " + toolTipText(itemProperty(service, object, QStringLiteral("ToolTip"))));
            QDBusMessage activate = QDBusMessage::createMethodCall(
                service, object, QStringLiteral("org.kde.StatusNotifierItem"),
                QStringLiteral("Activate"));
            activate << 10 << 10;
            QDBusConnection::sessionBus().call(activate, QDBus::NoBlock);
            say("activated");
        });
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    bool activate_;
    bool kded_;
    bool host_ = true;
    QStringList items_;
    QDBusServiceWatcher names_;
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool kded = app.arguments().contains(QStringLiteral("--kded"));
    Watcher watcher(!app.arguments().contains(QStringLiteral("--passive")), kded);
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")) ||
        (kded && !bus.registerService(QStringLiteral("org.kde.kded5"))))
        return 1;
    if (kded) watcher.setHost(true);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &watcher, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QByteArray line = pending.left(end);
            if (line == "host-gone") watcher.setHost(false);
            if (line == "host") watcher.setHost(true);
        }
    });
    say("ready");
    return app.exec();
}

#include "sniwatcher.moc"

// A StatusNotifier watcher and host for the tray test, on the session bus it is started on:
// it takes the items that register, says "registered SERVICE" on standard output; 300 ms later
// it reads the item's Title, says "title TITLE", and calls the item's Activate, as a panel does
// on a click. Says "ready" once it serves.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QTimer>

#include <cstdio>

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return items_; }

public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message) {
        const bool path = serviceOrPath.startsWith(u'/');
        const QString service = path ? message.service() : serviceOrPath;
        const QString object = path ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        items_ << service + object;
        std::printf("registered %s\n", qPrintable(service));
        std::fflush(stdout);
        emit StatusNotifierItemRegistered(service + object);
        QTimer::singleShot(300, this, [service, object] {
            QDBusMessage get = QDBusMessage::createMethodCall(
                service, object, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("Get"));
            get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("Title");
            const QDBusMessage title = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
            std::printf(
                "title %s\n",
                title.arguments().isEmpty()
                    ? "(none)"
                    : qPrintable(
                          title.arguments().first().value<QDBusVariant>().variant().toString()));
            std::fflush(stdout);
            QDBusMessage activate = QDBusMessage::createMethodCall(
                service, object, QStringLiteral("org.kde.StatusNotifierItem"),
                QStringLiteral("Activate"));
            activate << 10 << 10;
            QDBusConnection::sessionBus().call(activate, QDBus::NoBlock);
            std::printf("activated\n");
            std::fflush(stdout);
        });
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    QStringList items_;
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "sniwatcher.moc"

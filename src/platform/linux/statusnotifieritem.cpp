#include "platform/linux/statusnotifieritem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QImage>
#include <QtEndian>

namespace {

const QString ItemPath = QStringLiteral("/StatusNotifierItem");
const QString Watcher = QStringLiteral("org.kde.StatusNotifierWatcher");

} // namespace

QDBusArgument& operator<<(QDBusArgument& out, const SniPixmap& pixmap) {
    out.beginStructure();
    out << pixmap.width << pixmap.height << pixmap.argb;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SniPixmap& pixmap) {
    in.beginStructure();
    in >> pixmap.width >> pixmap.height >> pixmap.argb;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const SniToolTip& tip) {
    out.beginStructure();
    out << tip.iconName << tip.pixmaps << tip.title << tip.text;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SniToolTip& tip) {
    in.beginStructure();
    in >> tip.iconName >> tip.pixmaps >> tip.title >> tip.text;
    in.endStructure();
    return in;
}

SniPixmaps sniPixmaps(const QIcon& icon) {
    SniPixmaps pixmaps;
    for (const int side : {22, 32, 48, 64}) {
        const QPixmap drawn = icon.pixmap(side, side);
        if (drawn.isNull()) continue;
        // Hosts take the size given as the size drawn: an icon with smaller pictures only is
        // scaled up here, not left smaller.
        const QImage image = drawn.toImage()
                                 .scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_ARGB32);
        SniPixmap pixmap{image.width(), image.height(), {}};
        pixmap.argb.resize(qsizetype(image.width()) * image.height() * 4);
        auto* out = reinterpret_cast<uchar*>(pixmap.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, out += 4)
                qToBigEndian<quint32>(row[x], out);
        }
        pixmaps << pixmap;
    }
    return pixmaps;
}

SniToolTip sniToolTip(const QString& toolTip) {
    const qsizetype newline = toolTip.indexOf(u'\n');
    SniToolTip tip;
    tip.title = toolTip.left(newline);
    if (newline >= 0) tip.text = toolTip.mid(newline + 1);
    return tip;
}

// The item's interface on the bus, read by the hosts.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString IconName READ none)
    Q_PROPERTY(SniPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(SniPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(SniPixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
        : QDBusAbstractAdaptor(item), item_(item) {
        connect(item, &StatusNotifierItem::toolTipChanged, this,
                &StatusNotifierItemAdaptor::NewToolTip);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return item_->id(); }
    QString title() const { return item_->title(); }
    QString status() const { return QStringLiteral("Active"); }
    QString none() const { return {}; }
    SniPixmaps iconPixmap() const { return item_->pixmaps(); }
    SniPixmaps noPixmaps() const { return {}; }
    SniToolTip toolTip() const {
        SniToolTip tip = sniToolTip(item_->toolTip());
        tip.pixmaps = item_->pixmaps();
        return tip;
    }
    // A click activates; the icon has no menu.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }

public slots:
    void Activate(int, int) { emit item_->activated(); }
    // A middle click, a right click and the wheel do nothing.
    void SecondaryActivate(int, int) {}
    void ContextMenu(int, int) {}
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* item_;
};

StatusNotifierItem::StatusNotifierItem(const QIcon& icon, const QString& id, const QString& title,
                                       QObject* parent)
    : QObject(parent), id_(id), title_(title), pixmaps_(sniPixmaps(icon)) {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmaps>();
    qDBusRegisterMetaType<SniToolTip>();
    new StatusNotifierItemAdaptor(this);
}

StatusNotifierItem::~StatusNotifierItem() {
    remove();
}

bool StatusNotifierItem::add(const QString& toolTip) {
    toolTip_ = toolTip;
    if (added()) return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                                .arg(QCoreApplication::applicationPid())
                                .arg(++added_);
    if (!bus.registerObject(ItemPath, this, QDBusConnection::ExportAdaptors)) return false;
    if (!bus.registerService(service)) {
        bus.unregisterObject(ItemPath);
        return false;
    }
    service_ = service;
    QDBusMessage registration =
        QDBusMessage::createMethodCall(Watcher, QStringLiteral("/StatusNotifierWatcher"), Watcher,
                                       QStringLiteral("RegisterStatusNotifierItem"));
    registration << service_;
    bus.call(registration, QDBus::NoBlock);
    return true;
}

void StatusNotifierItem::remove() {
    if (!added()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(service_);
    bus.unregisterObject(ItemPath);
    service_.clear();
}

void StatusNotifierItem::setToolTip(const QString& toolTip) {
    if (toolTip == toolTip_) return;
    toolTip_ = toolTip;
    if (added()) emit toolTipChanged();
}

#include "statusnotifieritem.moc"

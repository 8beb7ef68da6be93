#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

class QDBusArgument;

// One picture of an icon as a StatusNotifier host takes it: ARGB32, 4 bytes a pixel in network
// byte order, row by row.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using SniPixmaps = QList<SniPixmap>;
// The tooltip: an icon name, its pictures, a title and a line of text under it.
struct SniToolTip {
    QString iconName;
    SniPixmaps pixmaps;
    QString title;
    QString text;
};
Q_DECLARE_METATYPE(SniPixmap)
Q_DECLARE_METATYPE(SniToolTip)
QDBusArgument& operator<<(QDBusArgument& out, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& in, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& out, const SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& in, SniToolTip& tip);

// The icon's pictures in the sizes panels draw (22 to 64 pixels), in the host's byte order.
SniPixmaps sniPixmaps(const QIcon& icon);
// The tooltip as the host shows it: the first line its title, the rest the text under it.
SniToolTip sniToolTip(const QString& toolTip);

// The notification-area icon as an item of the StatusNotifier protocol on the session bus,
// which KDE Plasma, GNOME's AppIndicator extension, XFCE and LXQt panels show. Qt's own item
// takes its Title from the application name; this one is given the title people read, while
// the program's name stays the one of its files and its window class.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    StatusNotifierItem(const QIcon& icon, const QString& id, const QString& title,
                       QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Puts the item on the session bus under a name of its own and registers it with the
    // watcher. False where the bus refused the name.
    bool add(const QString& toolTip);
    // Takes the item off the bus: the watcher and its hosts drop it when its name goes.
    void remove();
    bool added() const { return !service_.isEmpty(); }
    QString toolTip() const { return toolTip_; }
    void setToolTip(const QString& toolTip);

    QString id() const { return id_; }
    QString title() const { return title_; }
    const SniPixmaps& pixmaps() const { return pixmaps_; }

signals:
    // A click on the icon (the host's Activate).
    void activated();
    // For the bus: the host reads the new tooltip when told.
    void toolTipChanged();

private:
    QString id_;
    QString title_;
    SniPixmaps pixmaps_;
    QString toolTip_;
    QString service_; // the bus name while added
    int added_ = 0;   // how often it was added: each time under a new name
};

#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include <memory>

// The icon in the desktop's notification area that stands for the window while it is
// minimised. A left double-click on it brings the window back; where a StatusNotifier host
// shows the icon (KDE Plasma, GNOME's AppIndicator, XFCE and LXQt panels, Wayland sessions),
// which never reports a double click, its "Activate" (a single click) does.
//
// A notification area can go while the icon is in it (a panel crashes, an extension is switched
// off): the icon then counts as removed and hostGone() says so, for the window to come back by
// other means. Which notification area shows the icon is decided at each add(), so one that has
// come meanwhile is used.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    // The icon is read from iconFile, an image file or resource; the title names the program
    // where the notification area lists its icons.
    TrayIcon(const QString& iconFile, const QString& title, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether a notification area is there now to show the icon.
    bool available() const;

    void add(const QString& toolTip);
    void remove();
    bool shown() const;
    QRect geometry() const; // on the screen, where known
    QString toolTip() const;
    void setToolTip(const QString& toolTip);
    // A passing message next to the icon.
    void notify(const QString& title, const QString& text);

signals:
    void restoreRequested();
    // The notification area that showed the icon has gone; the icon is removed.
    void hostGone();

private:
    struct Parts;
    std::unique_ptr<Parts> d_;
};

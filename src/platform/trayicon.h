#pragma once

#include <QObject>
#include <QSystemTrayIcon>

// The icon in the desktop's notification area that stands for the window while it is
// minimised. A left double-click on it brings the window back; where a StatusNotifier host
// shows the icon (KDE Plasma, GNOME's AppIndicator, XFCE and LXQt panels, Wayland sessions),
// which never reports a double click, its "Activate" (a single click) does.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(const QIcon& icon, QObject* parent = nullptr);

    // Whether the desktop has a notification area at all.
    static bool available();

    void add(const QString& toolTip);
    void remove();
    bool shown() const { return icon_.isVisible(); }
    QRect geometry() const { return icon_.geometry(); } // on the screen, where known
    QString toolTip() const { return icon_.toolTip(); }
    void setToolTip(const QString& toolTip) { icon_.setToolTip(toolTip); }
    // A passing message next to the icon.
    void notify(const QString& title, const QString& text);

    // Whether a StatusNotifier host shows the icons of this session (never on Windows, whose
    // notification area reports double clicks).
    static bool statusNotifierHost();

signals:
    void restoreRequested();

private:
    QSystemTrayIcon icon_;
};

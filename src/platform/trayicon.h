#pragma once

#include <QObject>
#include <QSystemTrayIcon>

// The icon in the desktop's notification area that stands for the window while it is
// minimised. Only a left double-click on it means anything.
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

signals:
    void doubleClicked();

private:
    QSystemTrayIcon icon_;
};

// The notification-area icon in a real X11 session (run under Xvfb): minimise into it, only a
// double-click brings the window back; without a notification area, an ordinary minimise.
#include "connector.h"
#include "platform/trayicon.h"

#include <QProcess>

namespace {

void xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    QVERIFY(tool.waitForFinished(5000));
}

} // namespace

class TestTray : public QObject {
    Q_OBJECT
private slots:
    void withoutNotificationArea() {
        QVERIFY(!TrayIcon::available());
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.window.showMinimized();
        QTest::qWait(300);
        QVERIFY(c.window.isVisible());
        QVERIFY(!c.window.findChild<TrayIcon*>()->shown());
    }

    void intoTheTrayAndBack() {
        QProcess trayer;
        trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request",
                                "--height", "24", "--transparent", "false"});
        QVERIFY(trayer.waitForStarted());
        QTRY_VERIFY(TrayIcon::available());
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        auto* tray = c.window.findChild<TrayIcon*>();

        c.window.showMinimized();
        QTRY_VERIFY(tray->shown());
        QTRY_VERIFY(!c.window.isVisible());
        QCOMPARE(tray->toolTip(), QString("MiravonVPN网络连接器\n未连接"));
        QTRY_VERIFY(tray->geometry().isValid() && tray->geometry().x() > 0); // once embedded
        const QPoint icon = tray->geometry().center();
        xdotool({"mousemove", QString::number(icon.x()), QString::number(icon.y())});
        xdotool({"click", "1"});
        xdotool({"click", "3"});
        QTest::qWait(600);
        QVERIFY(!c.window.isVisible());

        xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
        QTRY_VERIFY(c.window.isVisible());
        QVERIFY(!tray->shown());
        QVERIFY(!c.window.isMinimized());
        QCOMPARE(c.window.size(), QSize(441, 534));

        // A second minimise adds the icon again.
        c.window.showMinimized();
        QTRY_VERIFY(tray->shown());
        c.window.bringToFront();
        trayer.terminate();
        trayer.waitForFinished();
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"

// The notification-area icon in a real X11 session (run under Xvfb): minimise into it; on an
// XEmbed tray (trayer) only a double-click brings the window back, on a StatusNotifier host
// (a watcher of our own on a private session bus) its Activate does; without a notification
// area, an ordinary minimise.
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
        if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("the StatusNotifier run");
        QVERIFY(!TrayIcon::available());
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.window.showMinimized();
        QTest::qWait(300);
        QVERIFY(c.window.isVisible());
        QVERIFY(!c.window.findChild<TrayIcon*>()->shown());
    }

    // Run first: Qt decides once per program whether a StatusNotifier host shows tray icons.
    void statusNotifierActivateBringsItBack() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("no session bus: the XEmbed run");
        QProcess watcher;
        watcher.start(QStringLiteral(SNI_WATCHER), QStringList());
        QVERIFY(watcher.waitForReadyRead(5000));
        QCOMPARE(watcher.readLine(), QByteArray("ready\n"));
        QVERIFY(TrayIcon::available());
        QVERIFY(TrayIcon::statusNotifierHost());
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.window.showMinimized();
        auto* tray = c.window.findChild<TrayIcon*>();
        QTRY_VERIFY(tray->shown());
        // The host's Activate, a single click on the icon, brings the window back.
        QByteArray said;
        QTRY_VERIFY((said += watcher.readAll()).contains("activated"));
        QVERIFY(said.startsWith("registered "));
        QTRY_VERIFY(c.window.isVisible());
        QVERIFY(!tray->shown());
        QVERIFY(!c.window.isMinimized());
        watcher.terminate();
        watcher.waitForFinished();
    }

    void intoTheTrayAndBack() {
        if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("the StatusNotifier run");
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

// The notification-area icon in a real X11 session (run under Xvfb): minimise into it; on an
// XEmbed tray (trayer) only a double-click brings the window back, on a StatusNotifier host
// (a watcher of our own on a private session bus) its Activate does, and the item is listed
// by the window's title; without a notification area, an ordinary minimise. A window put into
// the tray while start-up waits on the network stays there when start-up ends.
#include "connector.h"
#include "platform/trayicon.h"

#include <QDBusConnection>
#include <QProcess>
#include <QTimer>
#include <QWindow>

namespace {

void xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    QVERIFY(tool.waitForFinished(5000));
}

// The run on a private session bus; the other has none.
bool statusNotifierRun() {
    return QDBusConnection::sessionBus().isConnected();
}

} // namespace

class TestTray : public QObject {
    Q_OBJECT
private slots:
    // Qt decides once per program whether a StatusNotifier host shows tray icons: on that run
    // the watcher serves before the first icon is made.
    void initTestCase() {
        if (!statusNotifierRun()) return;
        watcher_.start(QStringLiteral(SNI_WATCHER), QStringList());
        QVERIFY(watcher_.waitForReadyRead(5000));
        QCOMPARE(watcher_.readLine(), QByteArray("ready\n"));
    }
    void cleanupTestCase() {
        watcher_.terminate();
        watcher_.waitForFinished();
    }

    void withoutNotificationArea() {
        if (statusNotifierRun()) QSKIP("the StatusNotifier run");
        QVERIFY(!TrayIcon::available());
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.window.showMinimized();
        QTest::qWait(300);
        QVERIFY(c.window.isVisible());
        QVERIFY(!c.window.findChild<TrayIcon*>()->shown());
    }

    void statusNotifierActivateBringsItBack() {
        if (!statusNotifierRun()) QSKIP("no session bus: the XEmbed run");
        QVERIFY(TrayIcon::available());
        QVERIFY(TrayIcon::statusNotifierHost());
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.window.showMinimized();
        auto* tray = c.window.findChild<TrayIcon*>();
        QTRY_VERIFY(tray->shown());
        // The host's Activate, a single click on the icon, brings the window back.
        QByteArray said;
        QTRY_VERIFY((said += watcher_.readAll()).contains("activated"));
        QVERIFY(said.startsWith("registered "));
        QTRY_VERIFY(c.window.isVisible());
        QVERIFY(!tray->shown());
        QVERIFY(!c.window.isMinimized());
    }

    // Panels that list the tray's items (KDE's settings among them) list it by its Title.
    void statusNotifierTitle() {
        if (!statusNotifierRun()) QSKIP("no session bus: the XEmbed run");
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.window.showMinimized();
        QByteArray said;
        QTRY_VERIFY((said += watcher_.readAll()).contains("activated"));
        const qsizetype title = said.indexOf("title ");
        QVERIFY(title >= 0);
        QCOMPARE(QString::fromUtf8(said.mid(title, said.indexOf('\n', title) - title)),
                 QString("title MiravonVPN网络连接器"));
    }

    void intoTheTrayAndBack() {
        if (statusNotifierRun()) QSKIP("the StatusNotifier run");
        QTRY_VERIFY(!TrayIcon::available()); // an earlier test's notification area has gone
        Trayer trayer;
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
    }

    // The lookup page gives no address at first: start-up shows the window and asks again a
    // second later. Meanwhile the user minimises it into the tray, where the end of start-up
    // leaves it; later minimises still hide it.
    void minimisedDuringSlowStartStaysInTray() {
        if (statusNotifierRun()) QSKIP("the StatusNotifier run");
        QTRY_VERIFY(!TrayIcon::available()); // an earlier test's notification area has gone
        Trayer trayer;
        QTRY_VERIFY(TrayIcon::available());
        TestSite site;
        site.server.route("/ip2city.asp", site.server.sequence({"[]", "[127.0.0.1]"}));
        FakePlatform platform;
        frmtunrell window(site.config(), platform);
        auto* tray = window.findChild<TrayIcon*>();
        QTimer user;
        user.setInterval(20);
        connect(&user, &QTimer::timeout, &window, [&] {
            if (!window.windowHandle() || !window.windowHandle()->isExposed()) return;
            window.showMinimized();
            user.stop();
        });
        user.start();
        window.Form_Load();
        QVERIFY(!user.isActive()); // minimised while start-up waited
        QVERIFY(tray->shown());
        window.showAfterStartup();
        QTest::qWait(300);
        QVERIFY(!window.isVisible());
        QVERIFY(tray->shown());

        window.bringToFront();
        QVERIFY(window.isVisible());
        QVERIFY(!tray->shown());
        window.showMinimized();
        QTRY_VERIFY(tray->shown());
        QTRY_VERIFY(!window.isVisible());
        window.bringToFront();
    }

private:
    // A small XEmbed notification area at the top right of the display, for one test.
    struct Trayer {
        QProcess process;
        Trayer() {
            process.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request",
                                     "--height", "24", "--transparent", "false"});
        }
        ~Trayer() {
            process.terminate();
            process.waitForFinished();
        }
    };

    QProcess watcher_; // the StatusNotifier watcher, on that run
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"

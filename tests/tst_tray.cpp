// The notification-area icon in a real X11 session (run under Xvfb): minimise into it; on an
// XEmbed tray (trayer) only a double-click brings the window back, on a StatusNotifier host
// (a watcher of our own on a private session bus) its Activate does, and the item is listed
// by the window's title; without a notification area, an ordinary minimise. A window put into
// the tray while start-up waits on the network stays there when start-up ends. A notification
// area that goes while the window is in it gives the window back; one that comes later is used
// at the next minimise.
#include "connector.h"
#include "platform/linux/statusnotifieritem.h"
#include "platform/trayicon.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QWindow>

#include <memory>

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

// Whether a notification area is there, as the window would find it.
bool trayAvailable() {
    return TrayIcon(QString(), QString()).available();
}

// How long, in milliseconds, until the condition holds, looked at every 5 ms while events are
// handled; -1 if it does not hold within the limit.
template <typename Condition> qint64 msUntil(Condition holds, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!holds()) {
        if (clock.elapsed() > limitMs) return -1;
        QTest::qWait(5);
    }
    return clock.elapsed();
}

// A StatusNotifier watcher with a host (support/sniwatcher.cpp) on the test's session bus, for
// as long as it lives.
struct SniWatcher {
    QProcess process;
    QByteArray said;

    explicit SniWatcher(const QStringList& arguments = {}) {
        process.start(QStringLiteral(SNI_WATCHER), arguments);
    }
    ~SniWatcher() {
        process.terminate();
        process.waitForFinished();
    }
    bool ready() { return process.waitForReadyRead(5000) && process.readLine() == "ready\n"; }
    bool heard(const QByteArray& what) {
        said += process.readAll();
        return said.contains(what);
    }
    // The line that starts with the word, without the word.
    QString line(const QByteArray& word) const {
        const qsizetype at = said.indexOf(word + ' ');
        if (at < 0) return {};
        const qsizetype from = at + word.size() + 1;
        return QString::fromUtf8(said.mid(from, said.indexOf('\n', from) - from));
    }
    void tell(const QByteArray& line) {
        process.write(line + '\n');
        process.waitForBytesWritten(1000);
    }
};

// A small XEmbed notification area at the top right of the display, for as long as it lives.
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

} // namespace

class TestTray : public QObject {
    Q_OBJECT
private slots:
    // Hosts read a picture as ARGB in network byte order, whatever the machine's own order,
    // in each size panels draw.
    void statusNotifierPixels_data() {
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("opaque red") << qRgba(255, 0, 0, 255) << QByteArray("\xff\xff\x00\x00", 4);
        QTest::newRow("opaque blue") << qRgba(0, 0, 255, 255) << QByteArray("\xff\x00\x00\xff", 4);
        QTest::newRow("transparent") << qRgba(0, 0, 0, 0) << QByteArray(4, '\0');
    }
    void statusNotifierPixels() {
        QFETCH(QRgb, colour);
        QFETCH(QByteArray, bytes);
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(colour);
        const SniPixmaps pixmaps = sniPixmaps(QIcon(QPixmap::fromImage(image)));
        QList<int> sides;
        for (const SniPixmap& pixmap : pixmaps) {
            sides << pixmap.width;
            QCOMPARE(pixmap.height, pixmap.width);
            QCOMPARE(pixmap.argb, bytes.repeated(pixmap.width * pixmap.height));
        }
        QCOMPARE(sides, (QList<int>{22, 32, 48, 64}));
    }

    // The tooltip's first line is its title (the program's name), the rest the text under it.
    void statusNotifierToolTip_data() {
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("name and phase") << "MiravonVPN网络连接器\n未连接"
                                        << "MiravonVPN网络连接器"
                                        << "未连接";
        QTest::newRow("one line") << "MiravonVPN网络连接器"
                                  << "MiravonVPN网络连接器"
                                  << "";
        QTest::newRow("three lines") << "a\nb\nc"
                                     << "a"
                                     << "b\nc";
    }
    void statusNotifierToolTip() {
        QFETCH(QString, toolTip);
        const SniToolTip tip = sniToolTip(toolTip);
        QTEST(tip.title, "title");
        QTEST(tip.text, "text");
    }

    void withoutNotificationArea() {
        if (statusNotifierRun()) QSKIP("the StatusNotifier run");
        QVERIFY(!trayAvailable());
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.window.showMinimized();
        QTest::qWait(300);
        QVERIFY(c.window.isVisible());
        QVERIFY(!c.window.findChild<TrayIcon*>()->shown());
    }

    // The host's Activate, a single click on the icon, brings the window back, and the item
    // leaves the bus. Panels that list the tray's items (KDE's settings among them) list it by
    // its Title; the tooltip names the program over the connection's phase.
    void statusNotifierActivateBringsItBack() {
        if (!statusNotifierRun()) QSKIP("no session bus: the XEmbed run");
        SniWatcher watcher;
        QVERIFY(watcher.ready());
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        auto* tray = c.window.findChild<TrayIcon*>();
        QVERIFY(tray->available());
        c.window.showMinimized();
        const qint64 toIcon =
            msUntil([&] { return watcher.heard("registered ") && !c.window.isVisible(); }, 5000);
        QVERIFY(toIcon >= 0);
        QVERIFY(tray->shown());
        QTRY_VERIFY(watcher.heard("activated"));
        const qint64 toWindow = msUntil([&] { return c.window.isVisible(); }, 5000);
        QVERIFY(toWindow >= 0);
        qInfo("StatusNotifier: minimise to icon %lld ms, Activate to window %lld ms", toIcon,
              toWindow);
        QVERIFY(!tray->shown());
        QVERIFY(!c.window.isMinimized());
        QTRY_VERIFY(watcher.heard("unregistered "));
        QCOMPARE(watcher.line("unregistered"), watcher.line("registered"));
        QCOMPARE(watcher.line("title"), QString("MiravonVPN网络连接器"));
        QCOMPARE(watcher.line("tooltip"), QString("MiravonVPN网络连接器 / 未连接"));
    }

    // No notification area: an ordinary minimise. One comes: the next minimise hides the
    // window into it. It goes while the window is there: the window is back, minimised, within
    // 2 s. One comes again: the next minimise uses it. Each way a notification area can go is
    // a row (a StatusNotifier watcher leaving the bus, its host leaving the watcher, KDE's panel
    // leaving while kded's watcher stays, an XEmbed tray ending); a run has the rows its bus
    // allows.
    void hostGoneGivesWindowBack_data() {
        QTest::addColumn<QString>("host");
        if (statusNotifierRun()) {
            QTest::newRow("StatusNotifier watcher leaves the bus") << "watcher";
            QTest::newRow("StatusNotifier host leaves the watcher") << "host";
            QTest::newRow("KDE's panel leaves the bus, kded's watcher stays") << "panel";
        } else {
            QTest::newRow("XEmbed tray ends") << "xembed";
        }
    }
    void hostGoneGivesWindowBack() {
        QFETCH(QString, host);
        QTRY_VERIFY(!trayAvailable()); // an earlier test's notification area has gone
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        auto* tray = c.window.findChild<TrayIcon*>();
        c.window.showMinimized();
        QTest::qWait(300);
        QVERIFY(c.window.isVisible());
        QVERIFY(!tray->shown());

        std::unique_ptr<SniWatcher> watcher;
        std::unique_ptr<Trayer> trayer;
        const auto comes = [&] {
            if (host == "xembed") {
                trayer = std::make_unique<Trayer>();
            } else if (!watcher) {
                QStringList arguments{"--passive"};
                // KDE hands the icons of an XEmbed tray on to the watcher (xembedsniproxy).
                if (host == "panel") {
                    arguments << "--kded";
                    trayer = std::make_unique<Trayer>();
                }
                watcher = std::make_unique<SniWatcher>(arguments);
                QVERIFY(watcher->ready());
            } else {
                watcher->tell("host");
            }
            QTRY_VERIFY(trayAvailable());
        };
        const auto intoTray = [&] {
            c.window.showNormal();
            QTRY_VERIFY(!c.window.isMinimized());
            c.window.showMinimized();
            QTRY_VERIFY(tray->shown());
            QTRY_VERIFY(!c.window.isVisible());
        };
        comes();
        intoTray();

        QElapsedTimer gone;
        if (host == "xembed") trayer.reset();
        if (host == "watcher") watcher.reset();
        if (host == "host" || host == "panel") watcher->tell("host-gone");
        gone.start();
        QVERIFY2(msUntil([&] { return c.window.isVisible() && c.window.isMinimized(); }, 2000) >= 0,
                 "not back, minimised, within 2 s");
        qInfo("%s gone to window back: %lld ms", qPrintable(host), gone.elapsed());
        QVERIFY(!tray->shown());
        if (watcher) {
            QTRY_VERIFY(watcher->heard("unregistered "));
            watcher->said.clear();
        }
        if (host == "panel") {
            // The XEmbed tray that is left hands its icons to a watcher without a host: a
            // minimise now is an ordinary one.
            c.window.showNormal();
            QTRY_VERIFY(!c.window.isMinimized());
            c.window.showMinimized();
            QTest::qWait(300);
            QVERIFY(c.window.isVisible());
            QVERIFY(!tray->shown());
        }

        comes();
        intoTray();
        if (watcher) QTRY_VERIFY(watcher->heard("registered "));
        c.window.bringToFront();
    }

    void intoTheTrayAndBack() {
        if (statusNotifierRun()) QSKIP("the StatusNotifier run");
        QTRY_VERIFY(!trayAvailable()); // an earlier test's notification area has gone
        Trayer trayer;
        QTRY_VERIFY(trayAvailable());
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
        QTRY_VERIFY(!trayAvailable()); // an earlier test's notification area has gone
        Trayer trayer;
        QTRY_VERIFY(trayAvailable());
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
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"

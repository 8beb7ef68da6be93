// The connector in a Wayland session (a headless Weston): the window is shown and works, the
// tray falls back as it does without one, and the window sweep does nothing.
#include "connector.h"
#include "platform/platform.h"
#include "platform/trayicon.h"

#include <QGuiApplication>
#include <QPushButton>

class TestWayland : public QObject {
    Q_OBJECT
private slots:
    void windowWorks() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        QCOMPARE(c.window.size(), QSize(441, 534));
        // Start-up ran against the test site and the list is there: a click on "连接" dials.
        QTRY_VERIFY(c.child<QPushButton>("Command1")->isEnabled());
        QTest::mouseClick(c.child<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(c.platform.launched.size(), qsizetype(1));
    }

    void trayFallsBack() {
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        QVERIFY(!c.window.findChild<TrayIcon*>()->available());
        c.window.showMinimized();
        QTest::qWait(300);
        QVERIFY(!c.window.findChild<TrayIcon*>()->shown());
        QVERIFY(c.window.isVisible()); // an ordinary minimised window, which can come back
    }

    void sweepDoesNothing() {
        const std::unique_ptr<Platform> system = createPlatform();
        system->closeWindowsTitled(QStringLiteral("MiravonVPN网络连接器")); // no X11: no effect
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        system->closeWindowsTitled(c.window.windowTitle());
        QTest::qWait(200);
        QVERIFY(c.window.isVisible());
    }
};

QTEST_MAIN(TestWayland)
#include "tst_wayland.moc"

// The window's size and place on a real X11 display (Xvfb), bare and under a window manager
// that draws frames (jwm), read back from X itself: where the window manager reports its frame
// the whole window is 441 × 534, where there is none the inside is; either way the window stands
// in the middle of the screen's available area.
#include "connector.h"
#include "x11display.h"

#include <QScreen>

class TestWindowFrame : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(x11Connection(), "needs an X11 display");
        if (!qEnvironmentVariableIsEmpty("MIRAVON_TEST_WM")) {
            xcb_connection_t* c = x11Connection();
            QTRY_VERIFY_WITH_TIMEOUT(windowManagerRunning(c), 10000);
            // The free area (jwm keeps a panel along the bottom) is known before the window opens.
            QTRY_VERIFY(!propertyOf(c, rootOf(c), "_NET_WORKAREA", XCB_ATOM_CARDINAL).isEmpty());
            QTRY_VERIFY(QGuiApplication::primaryScreen()->availableGeometry() !=
                        QGuiApplication::primaryScreen()->geometry());
        }
    }

    void outerGeometry() {
        xcb_connection_t* c = x11Connection();
        const bool managed = windowManagerRunning(c);
        Connector connector;
        frmtunrell& window = connector.window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto id = xcb_window_t(window.winId());
        if (managed) {
            // The window manager has framed the window and says how wide the frame is.
            QTRY_VERIFY(parentOf(c, id) != rootOf(c));
            QTRY_COMPARE(propertyOf(c, id, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL).size(),
                         qsizetype(16));
        } else {
            QCOMPARE(parentOf(c, id), rootOf(c));
        }
        QTRY_COMPARE(::outerGeometry(c, id).size(), QSize(441, 534));
        QCOMPARE(window.size().width() < 441, managed);
        QCOMPARE(window.size().height() < 534, managed);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(::outerGeometry(c, id).topLeft(),
                 area.topLeft() + QPoint((area.width() - 441) / 2, (area.height() - 534) / 2));
    }
};

QTEST_MAIN(TestWindowFrame)
#include "tst_windowframe.moc"

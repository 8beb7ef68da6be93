// The window as a desktop window: where it opens, menus, links, minimising without a
// notification area. Run on two screens, the primary one right of the other and lower
// (support/offset-screens.json; the offscreen platform takes the first by name as primary).
#include "connector.h"
#include "window/placement.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTabWidget>

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void centredIn_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("corner");
        QTest::newRow("a screen at 0, 0") << QRect(0, 0, 1024, 768) << QPoint(291, 117);
        QTest::newRow("a screen right of another")
            << QRect(1920, 0, 1024, 768) << QPoint(2211, 117);
        QTest::newRow("a panel along the top") << QRect(0, 32, 1024, 736) << QPoint(291, 133);
        QTest::newRow("a screen left of the origin")
            << QRect(-1280, -100, 1280, 1024) << QPoint(-861, 145);
        QTest::newRow("smaller than the window: the corner stays on it")
            << QRect(100, 50, 400, 480) << QPoint(100, 50);
    }
    void centredIn() {
        QFETCH(QRect, area);
        QTEST(::centredIn(area, QSize(441, 534)), "corner");
    }

    void insideSize_data() {
        QTest::addColumn<std::optional<QMargins>>("frame");
        QTest::addColumn<QSize>("inside");
        QTest::newRow("no frame reported") << std::optional<QMargins>() << QSize(441, 534);
        QTest::newRow("a frame") << std::optional(QMargins(4, 27, 4, 4)) << QSize(433, 503);
        QTest::newRow("a frame of nothing") << std::optional(QMargins()) << QSize(441, 534);
        QTest::newRow("a frame wider than the window")
            << std::optional(QMargins(300, 0, 300, 0)) << QSize(441, 534);
        QTest::newRow("a negative width")
            << std::optional(QMargins(-1, 27, 4, 4)) << QSize(441, 534);
    }
    void insideSize() {
        QFETCH(std::optional<QMargins>, frame);
        QTEST(::insideSize(QSize(441, 534), frame), "inside");
    }

    // Start-up centres the window on the primary screen, wherever that screen stands.
    void opensOnThePrimaryScreen() {
        QScreen* primary = QGuiApplication::primaryScreen();
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QCOMPARE(primary->availableGeometry(), QRect(1280, 200, 1024, 768));
        Connector c;
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        QCOMPARE(c.window.frameGeometry(), QRect(1280 + 291, 200 + 117, 441, 534));
        QCOMPARE(c.window.screen(), primary);
    }

    // Each menu item runs what its control runs; links start the browser minimised.
    void menus_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("launched");
        QTest::addColumn<QString>("box");
        QTest::newRow("M_link connects")
            << "M_link" << 1 << "rasdial MiravonVPN网络连接器 mira pw01"
            << "";
        QTest::newRow("M_clock asks to disconnect") << "M_clock" << 1 << ""
                                                    << "您确定断开连接吗?";
        QTest::newRow("M_exit asks to quit") << "M_exit" << 1 << ""
                                             << "您是否确认退出?";
        QTest::newRow("M_Ct offers the start page") << "M_Ct" << 1 << ""
                                                    << "无法读取或设置浏览器主页.";
        QTest::newRow("M_msg shows the bulletin") << "M_msg" << 2 << ""
                                                  << "";
        QTest::newRow("M_about shows the about tab") << "M_about" << 0 << ""
                                                     << "";
        QTest::newRow("M_lblfeedback opens the guest book")
            << "M_lblfeedback" << 1 << "explorer.exe BASE/writebook.asp"
            << "";
    }
    void menus() {
        QFETCH(QString, item);
        QFETCH(QString, launched);
        QFETCH(QString, box);
        Connector c;
        c.platform.answers = {2};
        auto* action = c.window.findChild<QAction*>(item);
        QVERIFY(action);
        action->setEnabled(true); // what the menu item runs, whatever the phase
        action->trigger();
        QTEST(c.child<QTabWidget>("SSTab1")->currentIndex(), "tab");
        QCOMPARE(c.commandLines(),
                 launched.isEmpty() ? QStringList()
                                    : QStringList{launched.replace("BASE", c.site.server.base())});
        QCOMPARE(c.platform.boxTexts(), box.isEmpty() ? QStringList() : QStringList{box});
    }

    void links_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("path");
        QTest::newRow("picture: home page") << "Image1"
                                            << "";
        QTest::newRow("forum") << "lblbbs"
                               << "/bbs/";
        QTest::newRow("guest book") << "lblfeedback"
                                    << "/writebook.asp";
    }
    void links() {
        QFETCH(QString, link);
        QFETCH(QString, path);
        Connector c;
        auto* label = c.window.findChild<QLabel*>(link);
        c.child<QTabWidget>("SSTab1")->setCurrentIndex(0);
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(c.commandLines(), QStringList{"explorer.exe " + c.site.server.base() + path});
        QCOMPARE(c.platform.launched[0].showState, 2);
    }

    // The pointer turns a link red for good; the picture keeps its looks.
    void linksTurnRed() {
        Connector c;
        c.child<QTabWidget>("SSTab1")->setCurrentIndex(0);
        auto* forum = c.window.findChild<QLabel*>("lblbbs");
        auto* book = c.window.findChild<QLabel*>("lblfeedback");
        const QColor normal = book->palette().color(QPalette::WindowText);
        QTest::mouseMove(forum);
        QTest::mouseMove(c.child("Frame5"));
        QCOMPARE(forum->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(book->palette().color(QPalette::WindowText), normal);
    }

    // No browser to start: the user is told once, not at every click.
    void noBrowserToldOnce() {
        struct NoBrowser : FakePlatform {
            bool launch(const QString& line, int state) override {
                FakePlatform::launch(line, state);
                return false;
            }
        };
        TestSite site;
        NoBrowser platform;
        frmtunrell window(site.config(), platform);
        window.lblbbs_Click();
        window.Image1_Click();
        QCOMPARE(platform.launched.size(), 2);
        QCOMPARE(platform.boxTexts(),
                 QStringList{"无法打开浏览器,请在浏览器中访问 " + site.server.base() + "/bbs/"});
    }

    // Without a notification area a minimised window stays an ordinary one, in the taskbar.
    void minimiseWithoutNotificationArea() {
        Connector c;
        c.window.showMinimized();
        QTest::qWait(50);
        QVERIFY(c.window.isVisible());
        QVERIFY(c.window.isMinimized());
        c.window.bringToFront();
        QVERIFY(!c.window.isMinimized());
        QCOMPARE(c.window.size(), QSize(441, 534));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"

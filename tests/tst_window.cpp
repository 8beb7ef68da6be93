// The window as a desktop window: menus, links, minimising without a notification area.
#include "connector.h"

#include <QAction>
#include <QLabel>
#include <QTabWidget>

class TestWindow : public QObject {
    Q_OBJECT
private slots:
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

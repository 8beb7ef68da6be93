// The whole road in a real window (under Xvfb) against the local maker site and its simulated
// tunnel: start-up, a marker server, "连接", success, the clock, "断开", the pause.
#include "desktopplatform.h"
#include "siteprocess.h"
#include "testsite.h"
#include "window/frmtunrell.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestRoad : public QObject {
    Q_OBJECT
private slots:
    void wholeRoad() {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        SiteProcess site(QStringLiteral(MIRAVON_SITE), 600);
        QVERIFY(!site.base.isEmpty());
        // The project's dial tool, dialling the site's simulated tunnel.
        qputenv("PATH", QByteArray(RASDIAL_DIR) + ":" + qgetenv("PATH"));
        qputenv("RASDIAL_SIMULATOR", site.base.toUtf8());

        AppConfig config;
        config.siteUrl = config.lookupUrl = site.base;
        config.versionMajor = 2;
        config.versionMinor = 1;
        DesktopPlatform platform;
        frmtunrell window(config, platform);
        window.Form_Load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.state().PublicAddress, QString("127.0.0.1"));

        auto* servers = window.findChild<QListWidget*>("List1");
        const int marker = [&] {
            for (int row = 0; row < servers->count(); ++row)
                if (itemTexts(window, "Serverlst").value(row).contains(";cvpn#")) return row;
            return -1;
        }();
        QVERIFY(marker >= 0);
        QTest::mouseClick(servers->viewport(), Qt::LeftButton, {},
                          servers->visualItemRect(servers->item(marker)).center());
        QTest::mouseClick(window.findChild<QPushButton*>("Command1"), Qt::LeftButton);

        QTRY_VERIFY_WITH_TIMEOUT(logLines(window).contains("连接成功."), 10000);
        QVERIFY(logLines(window).contains("您当前的IP地址是: 203.0.113.7"));
        QCOMPARE(window.phase(), ConnectionPhase::Connected);
        auto* clock = window.findChild<QLabel*>("Label3");
        QTRY_COMPARE_WITH_TIMEOUT(clock->text(), QString("连接计时: 0-2"), 5000);

        platform.answers = {1};
        QTest::mouseClick(window.findChild<QPushButton*>("Command2"), Qt::LeftButton);
        QCOMPARE(platform.boxes.last().text, QString("您确定断开连接吗?"));
        QCOMPARE(logLines(window).last(), QString("断开成功,5分钟后可重新连接."));
        QCOMPARE(window.phase(), ConnectionPhase::ReconnectPause);
        QTRY_COMPARE_WITH_TIMEOUT(clock->text(), QString("重连计时: 0-1"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(site.address(), QByteArray("127.0.0.1"), 5000);
        QVERIFY(!window.findChild<QPushButton*>("Command1")->isEnabled());
    }
};

QTEST_MAIN(TestRoad)
#include "tst_road.moc"

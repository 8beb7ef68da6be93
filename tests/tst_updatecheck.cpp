// The update check against a version file served on 127.0.0.1.
#include "fakeplatform.h"
#include "testserver.h"
#include "web/updatecheck.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTest>

class TestUpdateCheck : public QObject {
    Q_OBJECT
private slots:
    void outcomes_data() {
        QTest::addColumn<QString>("file"); // "-" for a host that cannot be reached
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("outdated");
        QTest::newRow("equal") << "2.1" << 200 << QStringList{"程序初始化成功......."} << false;
        QTest::newRow("empty file")
            << "" << 200 << QStringList{"您所处的网络环境可能不稳定,建议更换网络环境。"} << false;
        QTest::newRow("unreachable")
            << "-" << 0 << QStringList{"您所处的网络环境可能不稳定,建议更换网络环境。"} << false;
        QTest::newRow("newer") << "2.2" << 200 << QStringList() << true;
        QTest::newRow("older") << "1.0" << 200 << QStringList() << true;
        QTest::newRow("trailing line break") << "2.1\r\n" << 200 << QStringList() << true;
        // An error page is no version file: the host counts as not reached.
        QTest::newRow("404 page") << "<html>404</html>" << 404
                                  << QStringList{"您所处的网络环境可能不稳定,建议更换网络环境。"}
                                  << false;
    }
    void outcomes() {
        QFETCH(QString, file);
        QFETCH(int, status);
        QFETCH(bool, outdated);
        TestServer server;
        server.route("/version/tunrell.txt", server.text(file.toStdString(), "text/plain", status));
        QString site = server.base();
        if (file == "-") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            site = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
        }
        FakePlatform platform;
        QStringList lines;
        CheckForUpdate(site, runningVersionText(2, 1), platform,
                       [&](const QString& line) { lines << line; });
        QTEST(lines, "lines");
        if (!outdated) {
            QVERIFY(platform.boxes.isEmpty());
            QVERIFY(platform.launched.isEmpty());
            return;
        }
        QCOMPARE(platform.boxes.size(), 1);
        QCOMPARE(platform.boxes[0].text, QString("您使用的版本已过期,建议下载最新版本。"));
        QCOMPARE(platform.boxes[0].title, QString("升级提示"));
        QCOMPARE(platform.boxes[0].style, 32);
        QCOMPARE(platform.launched.size(), 1);
        QCOMPARE(platform.launched[0].commandLine, "explorer.exe " + site);
        QCOMPARE(platform.launched[0].showState, 2);
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"

// The server list load, server selection and the connection type, through the real window.
#include "fakeplatform.h"
#include "testsite.h"
#include "window/frmtunrell.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QProcess>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Reached = QStringLiteral("服务器连接成功,服务器载入中......");
const QString Unreached = QStringLiteral("服务器连接失败,请稍候重试......");
const QString NoServer = QStringLiteral("服务器信息获取失败,请稍候重试.");

struct Started {
    TestSite site;
    FakePlatform platform;
    frmtunrell window;

    explicit Started(const std::string& list) : window(site.config(), platform) {
        site.server.route("/vpn/list.txt", site.server.text(list, "text/plain; charset=utf-8"));
        window.Form_Load();
    }
    QListWidget* list(const char* name) { return window.findChild<QListWidget*>(name); }
    QStringList loadLines() { return logLines(window).mid(2); } // after version and address
};

} // namespace

class TestServerList : public QObject {
    Q_OBJECT
private slots:
    void loadOutcomes_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("endings");
        QTest::newRow("empty: not reached")
            << "" << QStringList{Unreached} << QStringList() << QList<int>();
        QTest::newRow("no colon anywhere")
            << "Service Unavailable\r\n"
            << QStringList{Unreached} << QStringList() << QList<int>();
        QTest::newRow("HTML error page ends the program")
            << "<html>\r\n<a href=\"http://x/\">404</a>\r\n"
            << QStringList{Reached, NoServer} << QStringList() << QList<int>{1};
        QTest::newRow("CR LF") << "电信一区:1.1.1.1;a#p\r\n网通二区:2.2.2.2;cvpn#http://h/p.asp\r\n"
                               << QStringList{Reached, "成功获取服务器信息 2台"}
                               << QStringList{"电信一区", "\n网通二区"} << QList<int>();
        QTest::newRow("empty second line")
            << "A:1;a#p\r\rB:2;b#q" << QStringList{Reached, "成功获取服务器信息 1台"}
            << QStringList{"A"} << QList<int>();
    }
    void loadOutcomes() {
        QFETCH(QString, list);
        Started started(list.toStdString());
        QTEST(started.loadLines(), "lines");
        QTEST(itemTexts(started.window, "List1"), "names");
        QCOMPARE(itemTexts(started.window, "Serverlst").size(),
                 itemTexts(started.window, "List1").size());
        QTEST(started.platform.endings, "endings");
        QCOMPARE(started.window.state().ServerListText, list);
        // Ending takes no exit question and no hang-up.
        QVERIFY(started.platform.boxes.isEmpty());
        QVERIFY(started.platform.launched.isEmpty());
    }

    // A list served with an error status is no list, whatever its lines hold.
    void errorStatusIsNoList() {
        TestSite site;
        site.server.route(
            "/vpn/list.txt",
            site.server.text("<html>\r\n<a href=\"http://x/\">500</a>\r\n", "text/html", 500));
        FakePlatform platform;
        frmtunrell window(site.config(), platform);
        window.Form_Load();
        QCOMPARE(logLines(window).mid(2), QStringList{Unreached});
        QVERIFY(itemTexts(window, "List1").isEmpty());
        QVERIFY(platform.endings.isEmpty());
    }

    void firstServerSelected() {
        Started started("A:1.1.1.1;mira#pw\r\nB:2.2.2.2;cvpn#http://h:81/p.asp\r\n");
        QCOMPARE(started.list("List1")->currentRow(), 0);
        QCOMPARE(started.list("Serverlst")->currentRow(), 0);
        const ConnectorState& state = started.window.state();
        QCOMPARE(state.ServerAddress, QString("1.1.1.1"));
        QCOMPARE(state.ServerAccount, QString("mira"));
        QCOMPARE(state.ServerPassword, QString("pw"));
        QCOMPARE(itemTexts(started.window, "Serverlst"),
                 (QStringList{"1.1.1.1;mira#pw", "2.2.2.2;cvpn#http://h:81/p.asp"}));
    }

    void secondLoadDoubles() {
        Started started("A:1;a#p\rB:2;b#q\r");
        started.list("List1")->setCurrentRow(1);
        started.window.findChild<QPushButton*>("Command3")->click();
        QCOMPARE(itemTexts(started.window, "List1"), (QStringList{"A", "B", "A", "B"}));
        QCOMPARE(itemTexts(started.window, "Serverlst"),
                 (QStringList{"1;a#p", "2;b#q", "1;a#p", "2;b#q"}));
        QCOMPARE(started.list("List1")->currentRow(), 0);
        QCOMPARE(started.window.state().ServerAddress, QString("1"));
        QCOMPARE(started.loadLines().mid(2), (QStringList{Reached, "成功获取服务器信息 2台"}));
    }

    // Choosing a server cuts its data; data outside the format changes nothing.
    void selection() {
        Started started("A:1;a#p\rB:2;cvpn#http://h/p.asp\rC:no-separators\rD:3#x;y\r");
        QListWidget* list = started.list("List1");
        list->setCurrentRow(1);
        const ConnectorState& state = started.window.state();
        QCOMPARE(started.list("Serverlst")->currentRow(), 1);
        QCOMPARE(state.ServerAddress, QString("2"));
        QCOMPARE(state.ServerAccount, QString("cvpn"));
        QCOMPARE(state.ServerPassword, QString("http://h/p.asp"));
        for (int outside : {2, 3}) {
            list->setCurrentRow(outside);
            QCOMPARE(state.ServerAddress, QString("2"));
            QCOMPARE(state.ServerAccount, QString("cvpn"));
            QCOMPARE(state.ServerPassword, QString("http://h/p.asp"));
        }
        QVERIFY(started.platform.endings.isEmpty());
    }

    void typeSwitchKeepsTheSelection() {
        Started started("A:1;a#p\rB:2;b#q\r");
        QListWidget* list = started.list("List1");
        list->setCurrentRow(1);
        auto* combo = started.window.findChild<QComboBox*>("Combo1");
        auto* listPanel = started.window.findChild<QGroupBox*>("Frame1");
        auto* privatePanel = started.window.findChild<QGroupBox*>("Frame4");
        combo->setCurrentIndex(1);
        QVERIFY(!listPanel->isEnabled());
        QVERIFY(privatePanel->isEnabled());
        combo->setCurrentIndex(0);
        QVERIFY(listPanel->isEnabled());
        QVERIFY(!privatePanel->isEnabled());
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(started.window.state().ServerAddress, QString("2"));
        QCOMPARE(started.window.state().ServerPassword, QString("q"));
    }

    // With CR LF line ends names begin with a line feed: kept in the item, not drawn.
    void namesDrawnWithoutLeadingLineFeed() {
        Started started("A:1;a#p\r\nB:2;b#q\r\n");
        QListWidget* list = started.list("List1");
        QCOMPARE(list->item(1)->text(), QString("\nB"));
        auto* delegate = qobject_cast<QStyledItemDelegate*>(list->itemDelegate());
        QVERIFY(delegate);
        QCOMPARE(delegate->displayText(list->item(1)->text(), QLocale()), QString("B"));
        QCOMPARE(delegate->displayText(list->item(0)->text(), QLocale()), QString("A"));
    }

    // The real program ends with status 1 when the list holds no server line, without an
    // exit question and without hanging up; a good list leaves it running.
    void endsTheRealProgram_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("status");
        QTest::newRow("no server line") << "<html>\r\n<body>a:b</body>" << 1;
        QTest::newRow("servers") << "A:1;a#p\r\n" << 0;
    }
    void endsTheRealProgram() {
#ifdef Q_OS_WIN
        QSKIP("the stand-in dial tool here is a shell script; under Wine check-windows.sh sees "
              "the real program's hang-ups through its stand-in rasdial.exe");
#endif
        QFETCH(QString, list);
        TestServer server;
        server.route("/vpn/list.txt", server.text(list.toStdString()));
        QTemporaryDir tools;
        const QString hungUp = tools.filePath("hung-up");
        QFile rasdial(tools.filePath("rasdial"));
        QVERIFY(rasdial.open(QIODevice::WriteOnly));
        rasdial.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(hungUp).toUtf8());
        rasdial.close();
        rasdial.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", tools.path() + ":" + env.value("PATH"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--load-list", server.base()});
        QVERIFY(child.waitForFinished(10'000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QTEST(child.exitCode(), "status");
        QVERIFY(!QFile::exists(hungUp));
    }
};

// "--load-list SITE": runs the list load of a window on the real platform, as start-up does.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--load-list") {
        const auto platform = createPlatform();
        AppConfig config;
        config.siteUrl = QString::fromLocal8Bit(argv[2]);
        frmtunrell window(config, *platform);
        window.Command3_Click();
        return 0;
    }
    TestServerList test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_serverlist.moc"

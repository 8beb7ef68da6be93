// The window as created, and start-up up to the public address.
#include "fakeplatform.h"
#include "platform/bulletinview.h"
#include "testsite.h"
#include "window/frmtunrell.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

const QString AddressLine = QStringLiteral("您当前的IP地址是: ");
const QString ListLoadedLine = QStringLiteral("成功获取服务器信息 3台");
const QString RetryLine = QStringLiteral("未能获取您的IP地址,正在重新获取,请检查网络连接......");

QString caption(const QObject* object) {
    if (auto* button = qobject_cast<const QPushButton*>(object)) return button->text();
    if (auto* frame = qobject_cast<const QGroupBox*>(object)) return frame->title();
    if (auto* label = qobject_cast<const QLabel*>(object)) return label->text();
    if (auto* box = qobject_cast<const QLineEdit*>(object)) return box->text();
    if (auto* action = qobject_cast<const QAction*>(object)) return action->text();
    if (auto* menu = qobject_cast<const QMenu*>(object)) return menu->title();
    return QString();
}

bool inside(const QObject* object, const QString& container) {
    for (const QObject* p = object->parent(); p; p = p->parent())
        if (p->objectName() == container) return true;
    return false;
}

// The tab a widget is on, -1 when on none.
int tabOf(const frmtunrell& window, const QWidget* widget) {
    const auto* tabs = window.findChild<QTabWidget*>("SSTab1");
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->widget(i) == widget || tabs->widget(i)->isAncestorOf(widget)) return i;
    return -1;
}

template <typename T = QWidget> T* child(const frmtunrell& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found) qWarning("no control named %s", name);
    return found;
}

QStringList captionsOf(const frmtunrell& window, const char* arrayName) {
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>(QLatin1String(arrayName)))
        texts << label->text();
    return texts;
}

int linesStartingWith(const QStringList& lines, const QString& prefix) {
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const QString& l) { return l.startsWith(prefix); }));
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("container");
        QTest::addColumn<int>("tab"); // -1: outside the tabs; -2: beyond the right edge
        QTest::newRow("Command3") << "Command3"
                                  << "获取服务器列表"
                                  << "frmtunrell" << -2;
        QTest::newRow("Serverlst") << "Serverlst"
                                   << ""
                                   << "frmtunrell" << -2;
        QTest::newRow("Frame6") << "Frame6"
                                << "Frame6"
                                << "frmtunrell" << -2;
        QTest::newRow("Frame8") << "Frame8"
                                << ""
                                << "SSTab1" << 1;
        QTest::newRow("Frame7") << "Frame7"
                                << "信息提示栏"
                                << "Frame8" << 1;
        QTest::newRow("List2") << "List2"
                               << ""
                               << "Frame7" << 1;
        QTest::newRow("Frame4") << "Frame4"
                                << "私人配置服务器"
                                << "Frame8" << 1;
        QTest::newRow("Text1") << "Text1"
                               << "Text1"
                               << "Frame4" << 1;
        QTest::newRow("Text2") << "Text2"
                               << "Text2"
                               << "Frame4" << 1;
        QTest::newRow("Text3") << "Text3"
                               << "Text3"
                               << "Frame4" << 1;
        QTest::newRow("Frame1") << "Frame1"
                                << "程序配置服务器"
                                << "Frame8" << 1;
        QTest::newRow("List1") << "List1"
                               << ""
                               << "Frame1" << 1;
        QTest::newRow("Frame3") << "Frame3"
                                << "控制栏"
                                << "SSTab1" << 1;
        QTest::newRow("Frame2") << "Frame2"
                                << "连接类型选择"
                                << "Frame3" << 1;
        QTest::newRow("Combo1") << "Combo1"
                                << ""
                                << "Frame2" << 1;
        QTest::newRow("Command2") << "Command2"
                                  << "断开"
                                  << "Frame3" << 1;
        QTest::newRow("Command1") << "Command1"
                                  << "连接"
                                  << "Frame3" << 1;
        QTest::newRow("Label3") << "Label3"
                                << "连接计时: 0-0"
                                << "Frame3" << 1;
        QTest::newRow("Frame5") << "Frame5"
                                << "软件信息栏"
                                << "SSTab1" << 0;
        QTest::newRow("lbltitle") << "lbltitle"
                                  << "名称"
                                  << "Frame5" << 0;
        QTest::newRow("lblversion") << "lblversion"
                                    << "版本"
                                    << "Frame5" << 0;
        QTest::newRow("lblbbs") << "lblbbs"
                                << "软件讨论社区"
                                << "SSTab1" << 0;
        QTest::newRow("lblfeedback") << "lblfeedback"
                                     << "意见建议留言板"
                                     << "SSTab1" << 0;
        QTest::newRow("Image1") << "Image1"
                                << ""
                                << "SSTab1" << 0;
        QTest::newRow("WebBrowser1") << "WebBrowser1"
                                     << ""
                                     << "SSTab1" << 2;
        QTest::newRow("M_menu") << "M_menu"
                                << "菜单管理"
                                << "frmtunrell" << -1;
        QTest::newRow("M_link") << "M_link"
                                << "连接"
                                << "M_menu" << -1;
        QTest::newRow("M_clock") << "M_clock"
                                 << "断开"
                                 << "M_menu" << -1;
        QTest::newRow("M_exit") << "M_exit"
                                << "退出"
                                << "M_menu" << -1;
        QTest::newRow("M_help") << "M_help"
                                << "软件帮助"
                                << "frmtunrell" << -1;
        QTest::newRow("M_Ct") << "M_Ct"
                              << "支持Miravon"
                              << "M_help" << -1;
        QTest::newRow("M_msg") << "M_msg"
                               << "信息公告"
                               << "M_help" << -1;
        QTest::newRow("M_lblfeedback") << "M_lblfeedback"
                                       << "故障反馈"
                                       << "M_help" << -1;
        QTest::newRow("M_about") << "M_about"
                                 << "关于软件"
                                 << "M_help" << -1;
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(int, tab);
        FakePlatform platform;
        frmtunrell window(TestSite().config(), platform);
        const QObject* control = window.findChild<QObject*>(name);
        QVERIFY2(control, qPrintable(name));
        QTEST(caption(control), "text");
        QVERIFY(container == "frmtunrell" || inside(control, container));
        if (const auto* widget = qobject_cast<const QWidget*>(control)) {
            if (tab == -2) {
                QCOMPARE(tabOf(window, widget), -1);
                QVERIFY(widget->mapTo(&window, QPoint()).x() >= window.width());
            } else if (tab >= 0) {
                QCOMPARE(tabOf(window, widget), tab);
            }
        }
    }

    // Tab walks through the controls the user sees, never to those beyond the right edge.
    void hiddenControlsTakeNoFocus() {
        TestSite site;
        FakePlatform platform;
        frmtunrell window(site.config(), platform);
        window.Form_Load();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSet<QWidget*> reached;
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window,
                            Qt::Key_Tab);
            reached << QApplication::focusWidget();
        }
        QVERIFY(reached.size() > 3);
        for (const char* hidden : {"Command3", "Serverlst"}) {
            const QWidget* control = child(window, hidden);
            for (const QWidget* focused : reached)
                QVERIFY2(focused != control && !control->isAncestorOf(focused), hidden);
        }
    }

    void designState() {
        FakePlatform platform;
        frmtunrell window(TestSite().config(), platform);
        QCOMPARE(window.windowTitle(), QString("MiravonVPN网络连接器"));
        QCOMPARE(window.size(), QSize(441, 534));
        auto* tabs = child<QTabWidget>(window, "SSTab1");
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QString("关于软件"));
        QCOMPARE(tabs->tabText(1), QString("控制界面"));
        QCOMPARE(tabs->tabText(2), QString("信息公告"));
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(captionsOf(window, "lblmsg1"), (QStringList{"功能", "设计", "发布", "主页"}));
        QCOMPARE(captionsOf(window, "Label1"), (QStringList{"帐号", "密码", "地址"}));
        auto* password = child<QLineEdit>(window, "Text2");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        password->setText("pw1");
        QCOMPARE(password->displayText(), QString("***"));
        // The picture is read once its tab is shown.
        auto* picture = child<QLabel>(window, "Image1");
        QVERIFY(picture->pixmap().isNull());
        window.show();
        tabs->setCurrentIndex(0);
        QCOMPARE(picture->pixmap().size(), QSize(120, 90));
        const int intervals[] = {1000, 5000, 1000, 1000, 1000};
        for (int i = 0; i < 5; ++i) {
            const auto* timer = window.findChild<QTimer*>(QStringLiteral("Timer%1").arg(i + 1));
            QVERIFY(timer && inside(timer, "Frame6"));
            QCOMPARE(timer->interval(), intervals[i]);
            QVERIFY(!timer->isActive());
        }
        const ConnectorState& state = window.state();
        QCOMPARE(state.ConnectCheckCount, 0);
        QCOMPARE(state.ConnectedSeconds, 0);
        QCOMPARE(state.ReconnectPauseSeconds, 0);
    }

    void normalStartup() {
        TestSite site;
        FakePlatform platform;
        frmtunrell window(site.config(), platform);
        window.Form_Load();

        QCOMPARE(logLines(window),
                 (QStringList{"程序初始化成功.......", AddressLine + "127.0.0.1",
                              "服务器连接成功,服务器载入中......", "成功获取服务器信息 3台"}));
        QCOMPARE(child<QListWidget>(window, "List2")->currentRow(), 3);
        QCOMPARE(child<QLabel>(window, "lbltitle")->text(), QString("名称 MiravonVPN网络连接器"));
        QCOMPARE(child<QLabel>(window, "lblversion")->text(), QString("版本 2.1.0"));
        QCOMPARE(captionsOf(window, "lblmsg1"),
                 (QStringList{"功能 提高转网速度,突破网络限制.", "设计 Miravon软件工作室",
                              "主页 " + site.server.base(), "邮件 test@example.org"}));
        const auto* combo = child<QComboBox>(window, "Combo1");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QString("程序配置服务器"));
        QCOMPARE(combo->itemText(1), QString("私人配置服务器"));
        QCOMPARE(combo->currentIndex(), 0);
        for (const char* box : {"Text1", "Text2", "Text3"})
            QCOMPARE(child<QLineEdit>(window, box)->text(), QString());
        QVERIFY(child(window, "Frame1")->isEnabled());
        QVERIFY(!child(window, "Frame4")->isEnabled());
        QVERIFY(child(window, "Command1")->isEnabled());
        QVERIFY(child<QAction>(window, "M_link")->isEnabled());
        QVERIFY(!child(window, "Command2")->isEnabled());
        QVERIFY(!child<QAction>(window, "M_clock")->isEnabled());
        for (const QTimer* timer : window.findChildren<QTimer*>(QRegularExpression("^Timer")))
            QVERIFY(!timer->isActive());
        QCOMPARE(child<QTabWidget>(window, "SSTab1")->currentIndex(), 1);
        QCOMPARE(window.state().PublicAddress, QString("127.0.0.1"));
        // The address was found at once: the window is left for the caller to show.
        QVERIFY(!window.isVisible());
        QVERIFY(platform.boxes.isEmpty());
        // The bulletin page is asked for and shown.
        const auto* bulletin = child<BulletinView>(window, "WebBrowser1");
        QVERIFY(bulletin->isSilent());
        QTRY_VERIFY(bulletin->toPlainText().contains("公告"));
    }

    // The lookup and the list are asked for while the version's answer is still on its way,
    // and each is read once.
    void asksForAllAtOnce() {
        TestSite site;
        site.server.route("/version/tunrell.txt",
                          site.server.text("2.1", "text/plain; charset=utf-8", 200, 400));
        FakePlatform platform;
        frmtunrell window(site.config(), platform);
        int early = -1;
        QTimer::singleShot(250, [&] {
            early = site.server.hits("/ip2city.asp") + site.server.hits("/vpn/list.txt");
        });
        window.Form_Load();
        QCOMPARE(early, 2);
        for (const char* path : {"/version/tunrell.txt", "/ip2city.asp", "/vpn/list.txt"})
            QCOMPARE(site.server.hits(path), 1);
        QCOMPARE(logLines(window).last(), ListLoadedLine);
    }

    void versionLine_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("caption");
        QTest::newRow("this build") << 2 << 1 << 0 << "版本 2.1.0";
        QTest::newRow("two digits") << 10 << 0 << 3 << "版本 10.0.3";
    }
    void versionLine() {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        TestSite site;
        AppConfig config = site.config();
        config.versionMajor = major;
        config.versionMinor = minor;
        config.versionRevision = revision;
        FakePlatform platform;
        frmtunrell window(config, platform);
        window.Form_Load();
        QTEST(child<QLabel>(window, "lblversion")->text(), "caption");
    }

    // A failure in the first steps (here: no message box can be shown for the start-page
    // prompt) skips the rest of them, and start-up goes on with the public address.
    void trapSkipsToTheAddress() {
        TestSite site;
        FakePlatform platform;
        platform.registry.insert(
            R"(HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main\Start page)",
            "about:blank");
        platform.boxesFail = true;
        frmtunrell window(site.config(), platform);
        window.Form_Load();
        QCOMPARE(logLines(window).value(0), AddressLine + "127.0.0.1");
        QCOMPARE(site.server.hits("/version/tunrell.txt"), 0);
        // Whatever the trap skipped, start-up ends idle: "断开" is off.
        QVERIFY(!child(window, "Command2")->isEnabled());
        QVERIFY(!child<QAction>(window, "M_clock")->isEnabled());
        // What ran before the failure stays done.
        QCOMPARE(child<QComboBox>(window, "Combo1")->count(), 2);
        QCOMPARE(child<QLineEdit>(window, "Text1")->text(), QString());
        QCOMPARE(itemTexts(window, "List1").size(), 3);
    }

    // Answers without an address lead to another look; the window shows itself after the
    // first, says once that it is looking again, and looks no more than once a second.
    void retriesUntilAnAddress() {
        TestSite site;
        site.server.route("/ip2city.asp", site.server.sequence({"[]", "]x[", "<p>[10.1.2.3]</p>"}));
        FakePlatform platform;
        frmtunrell window(site.config(), platform);
        bool shownWhileLooking = false;
        QTimer::singleShot(500, [&] { shownWhileLooking = window.isVisible(); });
        QElapsedTimer clock;
        clock.start();
        window.Form_Load();
        QVERIFY(shownWhileLooking);
        QCOMPARE(site.server.hits("/ip2city.asp"), 3);
        QVERIFY(clock.elapsed() >= 2000);
        QCOMPARE(window.state().PublicAddress, QString("10.1.2.3"));
        const QStringList lines = logLines(window);
        QCOMPARE(lines.count(RetryLine), 1);
        QCOMPARE(linesStartingWith(lines, AddressLine), 1);
        QVERIFY(lines.indexOf(RetryLine) < lines.indexOf(AddressLine + "10.1.2.3"));
        // The list is loaded only once the address is known (whether the answer asked for
        // with the first look is still fresh enough then is tst_httpgettext's matter).
        QVERIFY(lines.indexOf(AddressLine + "10.1.2.3") < lines.indexOf(ListLoadedLine));
    }

    // A lookup host that never answers: the window is shown after the first attempt, no
    // timer runs, the list is not loaded; the user may quit through the exit question.
    void silentLookupHost() {
        TestSite site;
        site.server.route("/ip2city.asp", site.server.silent());
        AppConfig config = site.config();
        config.lookupLimitSeconds = 1;
        FakePlatform platform;
        frmtunrell window(config, platform);
        QStringList seen;
        bool anyTimer = true;
        QTimer::singleShot(1500, [&] {
            seen = logLines(window);
            anyTimer = false;
            for (const QTimer* t : window.findChildren<QTimer*>(QRegularExpression("^Timer\\d")))
                anyTimer = anyTimer || t->isActive();
            QVERIFY(window.isVisible());
            window.close(); // answered OK by the fake: hang up and end
            site.server.route("/ip2city.asp", site.server.text("[192.0.2.7]"));
        });
        window.Form_Load();
        QVERIFY(seen.contains(RetryLine));
        QCOMPARE(linesStartingWith(seen, AddressLine), 0);
        QVERIFY(!anyTimer);
        QCOMPARE(platform.boxes.size(), 1);
        QCOMPARE(platform.boxes[0].text, QString("您是否确认退出?"));
        QCOMPARE(platform.boxes[0].title, QString("退出提示"));
        QCOMPARE(platform.boxes[0].style, 33);
        QCOMPARE(platform.launched.size(), 1);
        QCOMPARE(platform.launched[0].commandLine,
                 QString("rasdial.exe MiravonVPN网络连接器 /Disconnect"));
        QCOMPARE(platform.launched[0].showState, 0);
        QCOMPARE(platform.endings, QList<int>{0});
    }

    // A start-up held up on the network shows the window after 2 s, says what it waits for,
    // and keeps everything that starts work unusable until it has finished.
    void slowStartIsVisible_data() {
        QTest::addColumn<std::string>("held"); // the path that answers late
        QTest::addColumn<QString>("waitLine");
        QTest::newRow("version file")
            << std::string("/version/tunrell.txt") << "正在检查软件版本,请稍候......";
        QTest::newRow("lookup page")
            << std::string("/ip2city.asp") << "正在获取您的IP地址,请稍候......";
        QTest::newRow("server list")
            << std::string("/vpn/list.txt") << "正在获取服务器列表,请稍候......";
    }
    void slowStartIsVisible() {
        QFETCH(std::string, held);
        QFETCH(QString, waitLine);
        TestSite site;
        const std::string answer = held == "/ip2city.asp"    ? "[127.0.0.1]"
                                   : held == "/vpn/list.txt" ? TestSite::List
                                                             : "2.1";
        site.server.route(held, site.server.text(answer, "text/plain; charset=utf-8", 200, 2600));
        FakePlatform platform;
        frmtunrell window(site.config(), platform);
        QStringList usable;
        QStringList lines;
        QTimer::singleShot(2300, [&] {
            QVERIFY(window.isVisible());
            lines = logLines(window);
            for (const char* name : {"Command1", "Command2", "List1"})
                if (child(window, name)->isEnabled()) usable << name;
            for (const char* name : {"M_link", "M_clock"})
                if (child<QAction>(window, name)->isEnabled()) usable << name;
        });
        QTimer::singleShot(1800, [&] { QVERIFY(!window.isVisible()); });
        window.Form_Load();
        QCOMPARE(lines.count(waitLine), 1);
        QCOMPARE(lines.last(), waitLine);
        QCOMPARE(usable, QStringList());
        // Start-up's own lines follow as always.
        QStringList after = logLines(window);
        after.removeOne(waitLine);
        QCOMPARE(after,
                 (QStringList{"程序初始化成功.......", AddressLine + "127.0.0.1",
                              "服务器连接成功,服务器载入中......", "成功获取服务器信息 3台"}));
        QVERIFY(child(window, "Command1")->isEnabled() && child(window, "List1")->isEnabled());
    }

    // Cancel at the exit question keeps everything as it was.
    void exitCancelled() {
        FakePlatform platform;
        platform.answers = {2};
        frmtunrell window(TestSite().config(), platform);
        window.show();
        window.close();
        QVERIFY(window.isVisible());
        QVERIFY(platform.launched.isEmpty());
        QVERIFY(platform.endings.isEmpty());
    }

    // While "连接" is off (dialling, connected or pausing) the question warns of the hang-up.
    void exitQuestionWhenConnectIsOff() {
        TestSite site;
        FakePlatform platform;
        platform.answers = {2};
        frmtunrell window(site.config(), platform);
        window.Form_Load();
        child(window, "Command1")->setEnabled(false);
        QVERIFY(window.Form_QueryUnload());
        QCOMPARE(platform.boxTexts(), QStringList{"您是否确认退出,退出将自动断开网络连接?"});
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

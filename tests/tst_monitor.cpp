// One connection's whole road: dialing, connected, the limit, the drop, the pause, the
// disconnect and the exit, with tick handlers called directly.
#include "connector.h"
#include "platform/bulletinview.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

const std::string Home = "<p>您的IP是:[127.0.0.1]</p>"; // the start-up address
const std::string Tunnel = "<p>您的IP是:[203.0.113.7]</p>";
const QString HangUp = QStringLiteral("rasdial.exe MiravonVPN网络连接器 /Disconnect");
const QString Dropped = QStringLiteral("连接已断开,5分钟后可重新连接.");
const QString ShortExit = QStringLiteral("您是否确认退出?");
const QString LongExit = QStringLiteral("您是否确认退出,退出将自动断开网络连接?");

// A window whose timers tick only when a test calls their handlers.
struct Road : Connector {
    Road() {
        for (QTimer* timer : window.findChildren<QTimer*>(QRegularExpression("^Timer\\d$")))
            timer->setInterval(3'600'000);
    }
    bool running(const char* timer) { return child<QTimer>(timer)->isActive(); }
    bool on(const char* control) {
        if (auto* action = child<QAction>(control)) return action->isEnabled();
        return child(control)->isEnabled();
    }
    // The on/off pattern of 连接 (button, menu), 断开 (button, menu), Frame8 and Frame2.
    QString controls() {
        QString pattern;
        for (const char* name : {"Command1", "M_link", "Command2", "M_clock", "Frame8", "Frame2"})
            pattern += on(name) ? u'1' : u'0';
        return pattern;
    }
    QString label() { return child<QLabel>("Label3")->text(); }
    int hangUps() { return int(commandLines().count(HangUp)); }
    // The exit question asked now, answered with Cancel.
    QString exitQuestion() {
        platform.answers = {2};
        const qsizetype before = platform.boxes.size();
        window.close();
        return platform.boxes.size() == before + 1 ? platform.boxes.last().text : QString();
    }
    void dial(int row) {
        choose(row);
        window.Command1_Click();
    }
    void connectThrough() {
        lookupAnswers(Tunnel);
        window.Timer1_Timer();
    }
};

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private slots:
    void road_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("limitLabel");
        QTest::newRow("plain account: 28 minutes") << 0 << 1680 << "连接计时: 27-59";
        QTest::newRow("uvpn: 18 minutes") << 2 << 1080 << "连接计时: 17-59";
    }
    void road() {
        QFETCH(int, row);
        QFETCH(int, limit);
        Road r;
        QCOMPARE(r.window.phase(), ConnectionPhase::Idle);
        QCOMPARE(r.controls(), QString("110011"));
        QCOMPARE(r.exitQuestion(), ShortExit);

        r.dial(row);
        QCOMPARE(r.window.phase(), ConnectionPhase::Dialing);
        QCOMPARE(r.controls(), QString("010011"));
        QCOMPARE(r.exitQuestion(), LongExit);
        r.window.Timer1_Timer(); // still the start-up address
        QCOMPARE(r.window.state().ConnectCheckCount, 1);

        const int bulletinLoads = r.site.server.hits("/msg.htm");
        const qsizetype linesBefore = logLines(r.window).size();
        r.connectThrough();
        QCOMPARE(logLines(r.window).mid(linesBefore),
                 (QStringList{"连接成功.", "您当前的IP地址是: 203.0.113.7"}));
        QCOMPARE(r.window.phase(), ConnectionPhase::Connected);
        QCOMPARE(r.controls(), QString("001100"));
        QVERIFY(r.running("Timer2") && r.running("Timer4") && !r.running("Timer1"));
        QCOMPARE(r.window.state().ConnectCheckCount, 0);
        QCOMPARE(r.window.state().CurrentPublicAddress, QString("203.0.113.7"));
        QTRY_COMPARE(r.site.server.hits("/msg.htm"), bulletinLoads + 1);
        QCOMPARE(r.exitQuestion(), LongExit);

        // The clock, and the hang-up at the limit, once.
        r.window.Timer4_Timer();
        QCOMPARE(r.label(), QString("连接计时: 0-0"));
        for (int tick = 2; tick < limit; ++tick)
            r.window.Timer4_Timer();
        QCOMPARE(r.hangUps(), 0);
        r.window.Timer4_Timer();
        QTEST(r.label(), "limitLabel");
        QCOMPARE(r.hangUps(), 1);
        for (int tick = 0; tick < 70; ++tick)
            r.window.Timer4_Timer();
        QCOMPARE(r.hangUps(), 1);
        QCOMPARE(r.window.phase(), ConnectionPhase::Connected);

        // The drop watch: the tunnel's address changes nothing, the start-up address is a drop.
        r.window.Timer2_Timer();
        QCOMPARE(logLines(r.window).last(), QString("您当前的IP地址是: 203.0.113.7"));
        r.lookupAnswers(Home);
        r.window.Timer2_Timer();
        QCOMPARE(logLines(r.window).last(), Dropped);
        QCOMPARE(r.label(), QString("连接计时: 0-0"));
        QCOMPARE(r.window.state().ConnectedSeconds, 0);
        QCOMPARE(r.window.phase(), ConnectionPhase::ReconnectPause);
        QCOMPARE(r.controls(), QString("000011"));
        QVERIFY(r.running("Timer3") && r.running("Timer5"));
        QVERIFY(!r.running("Timer2") && !r.running("Timer4"));
        QCOMPARE(r.hangUps(), 1); // a drop hangs nothing up
        QCOMPARE(r.exitQuestion(), LongExit);

        // The sweep runs once.
        r.window.Timer3_Timer();
        QCOMPARE(r.platform.windowsClosed, QStringList{"网络连接"});
        QVERIFY(!r.running("Timer3"));

        // The pause: 4-58 at its 299th tick, "连接" back at the 300th.
        QCOMPARE(r.label(), QString("连接计时: 0-0"));
        r.window.Timer5_Timer();
        QCOMPARE(r.label(), QString("重连计时: 0-0"));
        for (int tick = 2; tick < 300; ++tick)
            r.window.Timer5_Timer();
        QCOMPARE(r.label(), QString("重连计时: 4-58"));
        QCOMPARE(r.controls(), QString("000011"));
        r.window.Timer5_Timer();
        QCOMPARE(r.label(), QString("连接计时: 0-0"));
        QCOMPARE(r.controls(), QString("110011"));
        QCOMPARE(r.window.phase(), ConnectionPhase::Idle);
        QCOMPARE(r.window.state().ReconnectPauseSeconds, 0);
        QVERIFY(r.platform.endings.isEmpty());
    }

    // What one connect-check tick makes of the lookup page's answers.
    void connectCheck_data() {
        QTest::addColumn<QStringList>("answers"); // in order; the last one repeats
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QString>("lastLine");
        QTest::addColumn<bool>("dialing");
        QTest::addColumn<int>("looks");
        const QString home = QString::fromStdString(Home);
        QTest::newRow("40 ticks at home: still dialing")
            << QStringList{home} << 40 << "正在连接,请稍候.......... " << true << 40;
        QTest::newRow("41st tick at home: failed")
            << QStringList{home} << 41 << "连接失败,请稍候重试." << false << 41;
        QTest::newRow("no answer never fails")
            << QStringList{"<p>no address</p>"} << 45 << "正在连接,请稍候.......... " << true << 45;
        QTest::newRow("one malformed answer is looked at again")
            << QStringList{"x]y[", QString::fromStdString(Tunnel)} << 1
            << "您当前的IP地址是: 203.0.113.7" << false << 2;
        QTest::newRow("a second malformed answer ends the tick")
            << QStringList{"x]y[", "]["} << 1 << "正在连接,请稍候.......... " << true << 2;
        QTest::newRow("brackets around no address: malformed")
            << QStringList{"<!--[if lt IE 9]>", "[]"} << 1 << "正在连接,请稍候.......... " << true
            << 2;
    }
    void connectCheck() {
        QFETCH(QStringList, answers);
        QFETCH(int, ticks);
        QFETCH(bool, dialing);
        Road r;
        r.dial(0);
        std::vector<std::string> pages;
        for (const QString& answer : answers)
            pages.push_back(answer.toStdString());
        r.site.server.route("/ip2city.asp", r.site.server.sequence(pages));
        for (int tick = 0; tick < ticks; ++tick)
            r.window.Timer1_Timer();
        QTEST(logLines(r.window).last(), "lastLine");
        QCOMPARE(r.running("Timer1"), dialing);
        QTEST(r.site.server.hits("/ip2city.asp") - 1, "looks"); // after start-up's look
        QCOMPARE(r.hangUps(), !dialing && r.window.phase() == ConnectionPhase::Idle ? 1 : 0);
        if (!dialing && r.window.phase() == ConnectionPhase::Idle) {
            QCOMPARE(r.controls(), QString("110011"));
            QCOMPARE(r.window.state().ConnectCheckCount, 0);
        }
    }

    // After a malformed answer ("[]" holds no address) the check looks again no sooner than a
    // second later, and the window goes on handling its events.
    void repeatedLooksArePaced() {
        Road r;
        r.dial(0);
        r.site.server.route("/ip2city.asp", r.site.server.sequence({"[]", Tunnel}));
        int eventsHandled = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++eventsHandled; });
        ticker.start(100);
        QElapsedTimer clock;
        clock.start();
        r.window.Timer1_Timer();
        QVERIFY(clock.elapsed() >= 1000);
        QCOMPARE(r.site.server.hits("/ip2city.asp") - 1, 2);
        QVERIFY(eventsHandled >= 7);
        QCOMPARE(r.window.phase(), ConnectionPhase::Connected);
    }

    // A tick waiting for its lookup keeps its own timer's ticks out; other timers tick on.
    void ticksNeverOverlap() {
        Road r;
        r.dial(0);
        r.connectThrough();
        r.lookupAnswers(Tunnel, 800);
        const int looksBefore = r.site.server.hits("/ip2city.asp");
        r.child<QTimer>("Timer2")->setInterval(50);
        r.child<QTimer>("Timer4")->setInterval(50);
        r.child<QTimer>("Timer2")->start();
        r.child<QTimer>("Timer4")->start();
        QTest::qWait(1000);
        QCOMPARE(r.site.server.hits("/ip2city.asp") - looksBefore, 2); // one look at a time
        QVERIFY(r.window.state().ConnectedSeconds >= 10);
    }

    void disconnect_data() {
        QTest::addColumn<int>("type");   // Combo1: 0 listed, 1 private
        QTest::addColumn<int>("answer"); // 1 OK, 2 Cancel
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("controls");
        QTest::addColumn<int>("phase");
        QTest::newRow("listed, OK: the pause") << 0 << 1 << "断开成功,5分钟后可重新连接."
                                               << "000011" << int(ConnectionPhase::ReconnectPause);
        QTest::newRow("private, OK: 连接 at once") << 1 << 1 << "断开成功."
                                                   << "110011" << int(ConnectionPhase::Idle);
        QTest::newRow("listed, Cancel") << 0 << 2 << "您当前的IP地址是: 203.0.113.7"
                                        << "001100" << int(ConnectionPhase::Connected);
        QTest::newRow("private, Cancel") << 1 << 2 << "您当前的IP地址是: 203.0.113.7"
                                         << "001100" << int(ConnectionPhase::Connected);
    }
    void disconnect() {
        QFETCH(int, type);
        QFETCH(int, answer);
        Road r;
        if (type == 1) {
            r.child<QComboBox>("Combo1")->setCurrentIndex(1);
            for (const char* box : {"Text1", "Text2", "Text3"})
                r.child<QLineEdit>(box)->setText("x");
        }
        r.window.Command1_Click();
        r.connectThrough();
        for (int tick = 0; tick < 65; ++tick)
            r.window.Timer4_Timer();
        QTRY_COMPARE(r.site.server.hits("/msg.htm"), 2); // start-up's and the connection's
        r.platform.answers = {answer};
        r.child<QAction>("M_clock")->trigger();

        const FakePlatform::Box box = r.platform.boxes.last();
        QCOMPARE(box.text, QString("您确定断开连接吗?"));
        QCOMPARE(box.title, QString("断开提示"));
        QCOMPARE(box.style, 33);
        QTEST(logLines(r.window).last(), "line");
        QTEST(r.controls(), "controls");
        QTEST(int(r.window.phase()), "phase");
        QCOMPARE(r.hangUps(), answer == 1 ? 1 : 0);
        QCOMPARE(r.label(), QString(answer == 1 ? "连接计时: 0-0" : "连接计时: 1-4"));
        if (answer == 1) QTRY_COMPARE(r.site.server.hits("/msg.htm"), 3);
    }

    // "断开" confirmed while the drop watch waits for its lookup, which then reports the
    // start-up address: both lines, and the pause already running goes on counting.
    void disconnectDuringDropWatch() {
        Road r;
        r.dial(0);
        r.connectThrough();
        r.lookupAnswers(Home, 500);
        QTimer::singleShot(100, [&] {
            QTest::mouseClick(r.child<QPushButton>("Command2"), Qt::LeftButton);
            r.window.Timer5_Timer();
            r.window.Timer5_Timer();
        });
        r.window.Timer2_Timer();
        QCOMPARE(logLines(r.window).mid(logLines(r.window).size() - 2),
                 (QStringList{"断开成功,5分钟后可重新连接.", Dropped}));
        QVERIFY(r.running("Timer5"));
        QCOMPARE(r.window.state().ReconnectPauseSeconds, 2);
        QCOMPARE(r.hangUps(), 1);
        QCOMPARE(r.window.phase(), ConnectionPhase::ReconnectPause);
    }

    // The exit confirmed while a lookup waits: hang up, end with 0, and nothing after it.
    void exitDuringLookup() {
        Road r;
        r.dial(0);
        r.connectThrough();
        r.lookupAnswers(Home, 500);
        QTimer::singleShot(100, [&] { r.child<QAction>("M_exit")->trigger(); });
        const QStringList linesBefore = logLines(r.window);
        r.window.Timer2_Timer();
        QCOMPARE(r.platform.boxes.last().text, LongExit);
        QCOMPARE(r.platform.boxes.last().title, QString("退出提示"));
        QCOMPARE(r.platform.boxes.last().style, 33);
        QCOMPARE(r.commandLines().last(), HangUp);
        QCOMPARE(r.platform.launched.last().showState, 0);
        QCOMPARE(r.platform.endings, QList<int>{0});
        QCOMPARE(logLines(r.window), linesBefore);
        QCOMPARE(r.controls(), QString("001100"));
        QVERIFY(r.running("Timer2") && r.running("Timer4") && !r.running("Timer5"));
        r.window.Timer4_Timer();
        QCOMPARE(r.label(), QString("连接计时: 0-0"));
    }
};

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"

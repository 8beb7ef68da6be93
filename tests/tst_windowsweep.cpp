// The sweep that closes top-level windows by exact title: the per-window rule on its own, and
// the real thing on an X11 display (bare or under a window manager, as run-on-xvfb.sh set it
// up) and without one.
#include "platform/linux/x11windows.h"
#include "platform/platform.h"
#include "platform/windowsweep.h"
#include "x11display.h"

#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <memory>
#include <vector>

namespace {

// A window that notes its title when it is asked to close.
class NotedWindow : public QWidget {
public:
    NotedWindow(const QString& title, QStringList& closed) : closed_(closed) {
        setWindowTitle(title);
        resize(240, 80);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        closed_.append(windowTitle());
        QWidget::closeEvent(event);
    }

private:
    QStringList& closed_;
};

} // namespace

class TestWindowSweep : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!qEnvironmentVariableIsEmpty("MIRAVON_TEST_WM")) {
            QVERIFY2(x11Connection(), "a window manager was started, but there is no display");
            QTRY_VERIFY_WITH_TIMEOUT(windowManagerRunning(x11Connection()), 10000);
        }
    }

    void trimAtNul_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        const QChar nul(u'\0');
        QTest::newRow("no NUL") << "网络连接"
                                << "网络连接";
        QTest::newRow("NUL at the end") << QString("网络连接") + nul << "网络连接";
        QTest::newRow("cut at the first of two") << QString("网络") + nul + "连接" + nul + "x"
                                                 << "网络";
        QTest::newRow("NUL first") << nul + QString("网络连接") << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void trimAtNul() {
        QFETCH(QString, text);
        QTEST(TrimAtNul(text), "trimmed");
    }

    void sweep_data() {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QStringList>("closed");
        QTest::addColumn<bool>("oldTitleOnly"); // only WM_NAME, as older programs set it
        QTest::newRow("exact title only") << QStringList{"网络连接", "网络连接 2", "本地网络连接"}
                                          << "网络连接" << QStringList{"网络连接"} << false;
        QTest::newRow("two with the exact title")
            << QStringList{"网络连接", " 网络连接", "网络连接", "网络连接器"} << "网络连接"
            << QStringList{"网络连接", "网络连接"} << false;
        QTest::newRow("none") << QStringList{"网络", "MiravonVPN网络连接器"} << "网络连接"
                              << QStringList{} << false;
        const QString withNul = QString("网络连接") + QChar(u'\0') + "x";
        QTest::newRow("title cut at a NUL")
            << QStringList{withNul, "网络连接x"} << "网络连接" << QStringList{withNul} << false;
        QTest::newRow("title only in WM_NAME")
            << QStringList{"Network Connections", "Network Connections 2"} << "Network Connections"
            << QStringList{"Network Connections"} << true;
    }
    void sweep() {
        QFETCH(QStringList, titles);
        QFETCH(QString, wanted);
        QFETCH(QStringList, closed);
        QFETCH(bool, oldTitleOnly);
        xcb_connection_t* const c = x11Connection();
        if (!c) QSKIP("needs an X11 display");
        const bool managed = windowManagerRunning(c);
        qInfo() << (managed ? "under a window manager" : "without a window manager");

        QStringList seenClosing;
        std::vector<std::unique_ptr<NotedWindow>> windows;
        for (const QString& title : titles) {
            windows.push_back(std::make_unique<NotedWindow>(title, seenClosing));
            windows.back()->show();
            QVERIFY(QTest::qWaitForWindowExposed(windows.back().get()));
        }
        for (const auto& window : windows) {
            const xcb_window_t id = window->winId();
            // Both ways a top-level window can sit: framed by the manager, or on the root.
            if (managed)
                QTRY_VERIFY(parentOf(c, id) != rootOf(c));
            else
                QCOMPARE(parentOf(c, id), rootOf(c));
            if (oldTitleOnly) xcb_delete_property(c, id, atom(c, "_NET_WM_NAME"));
        }
        NotedWindow last("last", seenClosing);
        last.show();
        QVERIFY(QTest::qWaitForWindowExposed(&last));

        createPlatform()->closeWindowsTitled(wanted);
        // Requests arrive in the order sent: once the last window's has been handled, every
        // request of the sweep has been too.
        X11TopLevelWindows(c).askToClose(last.winId());
        QTRY_VERIFY(seenClosing.contains("last"));
        seenClosing.removeOne("last");

        QCOMPARE(seenClosing, closed);
        qsizetype open = 0;
        for (const auto& window : windows)
            open += window->isVisible();
        QCOMPARE(open, titles.size() - closed.size());
    }

    void withoutX11() {
        if (x11Connection()) QSKIP("runs where there is no X11 display");
        QStringList seenClosing;
        NotedWindow window("网络连接", seenClosing);
        window.show();
        createPlatform()->closeWindowsTitled("网络连接");
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible());
        QVERIFY(seenClosing.isEmpty());
    }
};

QTEST_MAIN(TestWindowSweep)
#include "tst_windowsweep.moc"

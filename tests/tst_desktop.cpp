// The connector as a desktop program: ending by a signal, closing a question while hidden,
// legible switched-off panels, links that open only where the button comes up and once per
// click, and names for screen readers.
#include "connector.h"
#include "platform/platform.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <csignal>

namespace {

// The darkest grey of any pixel of the widget as drawn.
int darkest(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    int least = 255;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            least = std::min(least, qGray(image.pixel(x, y)));
    return least;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    // The program itself, told to end by the session or the terminal: it hangs up with the
    // command the exit uses and ends with status 0, without a question.
    void signalHangsUp_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalHangsUp() {
        QTemporaryDir dir;
        // The program beside a stand-in dial tool, which it prefers to one on the path.
        const QString program = dir.filePath("miravon-vpn");
        QVERIFY(QFile::copy(QStringLiteral(MIRAVON_VPN), program));
        QFile tool(dir.filePath("rasdial"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >>\"$0.calls\"\n");
        tool.close();
        tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner);

        QProcess connector;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
            env.insert(QLatin1String(name), dir.path());
        connector.setProcessEnvironment(env);
        connector.start(program, {"--log-to-stderr"});
        QVERIFY(connector.waitForStarted());
        // Its first log line, on standard error as asked, says it has started.
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += connector.readAllStandardError()).contains('\n'), 10000);
        QFile calls(dir.filePath("rasdial.calls"));
        QVERIFY(!calls.exists());
        QFETCH(int, signal);
        ::kill(pid_t(connector.processId()), signal);
        QVERIFY(connector.waitForFinished(5000));
        QCOMPARE(connector.exitStatus(), QProcess::NormalExit);
        QCOMPARE(connector.exitCode(), 0);
        QTRY_VERIFY(calls.exists() && calls.size() > 0);
        QVERIFY(calls.open(QIODevice::ReadOnly));
        QCOMPARE(calls.readAll(), QByteArray("MiravonVPN网络连接器\n/Disconnect\n"));
    }

    // Hidden in the tray, the window asks whether to exit; Cancel on the question box must
    // not end the program as the last window closing.
    void cancelWhileHiddenKeepsRunning() {
        const std::unique_ptr<Platform> system = createPlatform();
        TestSite site;
        frmtunrell window(site.config(), *system);
        window.hide();
        QEventLoop loop;
        QTimer::singleShot(0, &window, [&] {
            QTimer::singleShot(300, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->reject();
            });
            QVERIFY(window.Form_QueryUnload()); // cancelled
            QTimer::singleShot(300, &loop, [&] { loop.exit(7); });
        });
        QCOMPARE(loop.exec(), 7); // 0: the program was told to quit
    }

    // Switched off while connected, the log reads as it did: its text is as dark as before.
    void logLegibleWhileSwitchedOff() {
        Connector c;
        auto* log = c.child<QListWidget>("List2");
        log->setCurrentRow(-1); // no selection bar: only the text is dark
        const int idle = darkest(log);
        c.child("Frame8")->setEnabled(false);
        QVERIFY(!log->isEnabled());
        QCOMPARE(darkest(log), idle);
        QVERIFY(idle < 100);
    }

    // A link or the picture opens only when the button comes up over it.
    void linkOpensOnReleaseOverIt_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("inside");
        for (const char* link : {"lblbbs", "lblfeedback", "Image1"}) {
            QTest::addRow("%s, released over it", link) << link << true;
            QTest::addRow("%s, dragged off", link) << link << false;
        }
    }
    void linkOpensOnReleaseOverIt() {
        Connector c;
        c.child<QTabWidget>("SSTab1")->setCurrentIndex(0);
        QFETCH(QString, link);
        auto* label = c.window.findChild<QLabel*>(link);
        QFETCH(bool, inside);
        const qsizetype before = c.platform.launched.size();
        QTest::mousePress(label, Qt::LeftButton, {}, label->rect().center());
        QTest::mouseRelease(label, Qt::LeftButton, {},
                            inside ? label->rect().center() : QPoint(-5, label->height() + 5));
        QCOMPARE(c.platform.launched.size() - before, inside ? 1 : 0);
    }

    // One click, one page: a double click opens the page once; two clicks apart open it twice.
    // The clicks go to the window as the windowing system's would, so that Qt itself makes the
    // double click out of two clicks in quick succession.
    void linkOpensOncePerClick_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<int>("pages");
        for (const char* link : {"lblbbs", "lblfeedback", "Image1"}) {
            QTest::addRow("%s, a click", link) << link << "click" << 1;
            QTest::addRow("%s, a double click", link) << link << "double click" << 1;
            QTest::addRow("%s, two clicks apart", link) << link << "two clicks" << 2;
        }
    }
    void linkOpensOncePerClick() {
        Connector c;
        c.child<QTabWidget>("SSTab1")->setCurrentIndex(0);
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        QFETCH(QString, link);
        QFETCH(QString, clicks);
        auto* label = c.window.findChild<QLabel*>(link);
        QWindow* window = c.window.windowHandle();
        const QPoint at = label->mapTo(&c.window, label->rect().center());
        const qsizetype before = c.platform.launched.size();
        if (clicks == "double click") {
            QTest::mouseDClick(window, Qt::LeftButton, {}, at);
        } else {
            QTest::mouseClick(window, Qt::LeftButton, {}, at);
            if (clicks == "two clicks") QTest::mouseClick(window, Qt::LeftButton, {}, at);
        }
        QTEST(int(c.platform.launched.size() - before), "pages");
    }

    // Screen readers hear each private box by its label, every control that takes focus by a
    // name (on every tab), and the password box as a password field.
    void accessibleNames() {
        Connector c;
        const QList<std::pair<const char*, QString>> boxes{
            {"Text1", "帐号"}, {"Text2", "密码"}, {"Text3", "地址"}};
        for (const auto& [name, label] : boxes)
            QCOMPARE(QAccessible::queryAccessibleInterface(c.child(name))->text(QAccessible::Name),
                     label);
        QVERIFY(QAccessible::queryAccessibleInterface(c.child("Text2"))->state().passwordEdit);
        auto* tabs = c.child<QTabWidget>("SSTab1");
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            for (QWidget* widget : c.window.findChildren<QWidget*>()) {
                if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(&c.window))
                    continue;
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
                QVERIFY2(
                    accessible && !accessible->text(QAccessible::Name).isEmpty(),
                    qPrintable(widget->objectName() + " " + widget->metaObject()->className()));
            }
        }
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"

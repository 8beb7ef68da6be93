// The program itself, started on an X11 display of its own (Xvfb) as a desktop session starts
// it, and what a start leaves outside the window: the log on standard error only when asked for
// (desktop sessions keep standard error), and no D-Bus daemon of libdbus's own where the session
// has no bus.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

// Whether libdbus has started a session bus for this display: while the bus lives, the
// dbus-launch that started it owns an X selection named after the user and the machine, where
// every later start on the display finds it.
bool busStartedForDisplay() {
    QByteArray machine;
    for (const char* path : {"/var/lib/dbus/machine-id", "/etc/machine-id"}) {
        QFile file{QLatin1String(path)};
        if (machine.isEmpty() && file.open(QIODevice::ReadOnly)) machine = file.readAll().trimmed();
    }
    const passwd* user = getpwuid(getuid());
    const QByteArray name =
        "_DBUS_SESSION_BUS_SELECTION_" + QByteArray(user ? user->pw_name : "") + '_' + machine;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.constData()), nullptr);
    xcb_get_selection_owner_reply_t* owner =
        atom ? xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr)
             : nullptr;
    const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    std::free(atom);
    xcb_disconnect(c);
    return owned;
}

// The program beside a stand-in dial tool, which it prefers to one on the path, with a home of
// its own; it runs until stop().
// The first shown window whose name matches the pattern, or 0.
xcb_window_t shownWindow(const QString& pattern) {
    QProcess search;
    search.start("xdotool", {"search", "--onlyvisible", "--name", pattern});
    if (!search.waitForFinished(5000) || search.exitCode() != 0) return 0;
    return search.readAllStandardOutput().split('\n').value(0).toUInt();
}

struct Program {
    QTemporaryDir dir;
    QProcess process;

    bool start(const QStringList& arguments, QProcessEnvironment environment) {
        const QString program = dir.filePath("miravon-vpn");
        QFile tool(dir.filePath("rasdial"));
        if (!QFile::copy(QStringLiteral(MIRAVON_VPN), program) || !tool.open(QIODevice::WriteOnly))
            return false;
        tool.write("#!/bin/sh\nexit 0\n");
        tool.close();
        tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner);
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
            environment.insert(QLatin1String(name), dir.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        return process.waitForStarted();
    }
    // Whether its window is on the screen. Start-up shows it right before a log line: once it is
    // there, start-up has logged.
    static bool windowShown() { return shownWindow(QStringLiteral("^MiravonVPN网络连接器$")) != 0; }
    // Ends it as a session does (SIGTERM, handled in its event loop) and gives its standard
    // error.
    QByteArray stop() {
        ::kill(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(5000);
        return process.readAllStandardError();
    }
};

// The raw value of a property of a window of the display (at most 1 KiB).
QByteArray windowProperty(xcb_window_t window, const QByteArray& name) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.constData()), nullptr);
    xcb_get_property_reply_t* reply =
        atom ? xcb_get_property_reply(
                   c, xcb_get_property(c, 0, window, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                   nullptr)
             : nullptr;
    QByteArray value;
    if (reply)
        value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
    std::free(reply);
    std::free(atom);
    xcb_disconnect(c);
    return value;
}

// Asks the window to close, as its close box does (WM_DELETE_WINDOW).
void askToClose(xcb_window_t window) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : XCB_ATOM_NONE;
        std::free(reply);
        return value;
    };
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    xcb_disconnect(c);
}

// The value of a key of the desktop entry's main group.
QString desktopEntryValue(const QString& key) {
    QFile entry(QStringLiteral(DESKTOP_ENTRY));
    if (!entry.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : entry.readAll().split('\n'))
        if (line.startsWith(key.toUtf8() + '=')) return QString::fromUtf8(line.mid(key.size() + 1));
    return {};
}

} // namespace

class TestProgramStart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs a display"); }

    // Where the session has no bus (an X session started without one), libdbus would start
    // dbus-launch and a dbus-daemon for the first question to D-Bus, for the whole display.
    void noBusDaemonWithoutSessionBus_data() {
        QTest::addColumn<bool>("unset"); // else set, but empty
        QTest::newRow("DBUS_SESSION_BUS_ADDRESS unset") << true;
        QTest::newRow("DBUS_SESSION_BUS_ADDRESS empty") << false;
    }
    void noBusDaemonWithoutSessionBus() {
        QVERIFY2(!QStandardPaths::findExecutable("dbus-launch").isEmpty(),
                 "dbus-launch (dbus-x11) is needed to see a bus being started");
        QVERIFY2(!busStartedForDisplay(), "a bus was started for this display before this row");
        QFETCH(bool, unset);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        if (!unset) environment.insert("DBUS_SESSION_BUS_ADDRESS", QString());
        Program program;
        QVERIFY(program.start({}, environment));
        QTRY_VERIFY_WITH_TIMEOUT(Program::windowShown(), 15000);
        program.stop();
        QCOMPARE(program.process.exitCode(), 0);
        QVERIFY(!busStartedForDisplay());
    }

    // X11 defines the window class as Latin-1: it is the program's ASCII name, which the
    // desktop entry's StartupWMClass names, so that desktops show the entry's name and icon for
    // the window; people read the Chinese name in the title and the entry's Name.
    void windowClassMatchesDesktopEntry() {
        Program program;
        QVERIFY(program.start({}, QProcessEnvironment::systemEnvironment()));
        QTRY_VERIFY_WITH_TIMEOUT(Program::windowShown(), 15000);
        const xcb_window_t window = shownWindow(QStringLiteral("^MiravonVPN网络连接器$"));
        QVERIFY(window != 0);
        const QByteArray windowClass = windowProperty(window, "WM_CLASS");
        QCOMPARE(windowClass, QByteArray("miravon-vpn\0miravon-vpn\0", 24));
        QCOMPARE(desktopEntryValue("StartupWMClass"),
                 QString::fromLatin1(windowClass.split('\0').value(1)));
        QCOMPARE(QString::fromUtf8(windowProperty(window, "_NET_WM_NAME")),
                 QString("MiravonVPN网络连接器"));
        QCOMPARE(desktopEntryValue("Name"), QString("MiravonVPN网络连接器"));
        // The program's name is in no other window's title: the question box's is its own.
        // (Asked again while no box shows: one asked the moment the window appears, during a
        // start-up that waits on the network, is now and then not answered.)
        xcb_window_t box = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (box = shownWindow(QStringLiteral("^退出提示"))) || (askToClose(window), false), 5000);
        QCOMPARE(QString::fromUtf8(windowProperty(box, "_NET_WM_NAME")), QString("退出提示"));
        program.stop();
        QCOMPARE(program.process.exitCode(), 0);
    }

    void logOnStandardErrorOnlyWhenAsked_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("logged");
        QTest::newRow("by default") << QStringList() << false;
        QTest::newRow("--log-to-stderr") << QStringList{"--log-to-stderr"} << true;
    }
    void logOnStandardErrorOnlyWhenAsked() {
        QFETCH(QStringList, arguments);
        Program program;
        QVERIFY(program.start(arguments, QProcessEnvironment::systemEnvironment()));
        QTRY_VERIFY_WITH_TIMEOUT(Program::windowShown(), 15000);
        const QString said = QString::fromUtf8(program.stop());
        QCOMPARE(program.process.exitCode(), 0);
        // A log line: the time, then the line as the window shows it.
        const QRegularExpression line(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\S"),
                                      QRegularExpression::MultilineOption);
        QTEST(said.contains(line), "logged");
    }
};

QTEST_GUILESS_MAIN(TestProgramStart)
#include "tst_programstart.moc"

// The Linux platform: command lines, body decoding, the registry file, the session bus.
#include "connection/dialcommands.h"
#include "platform/commandline.h"
#include "platform/platform.h"
#include "platform/sessionbus.h"
#include "platform/textcodec.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <QDir>
#include <atomic>
#include <thread>

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void split_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("dial") << "rasdial MiravonVPN网络连接器 user pass"
                              << QStringList{"rasdial", "MiravonVPN网络连接器", "user", "pass"};
        QTest::newRow("empty user name: blanks run together")
            << "rasdial E  pass" << QStringList{"rasdial", "E", "pass"};
        QTest::newRow("both empty") << "rasdial E  " << QStringList{"rasdial", "E"};
        QTest::newRow("a blank splits a value")
            << "rasdial E my user p" << QStringList{"rasdial", "E", "my", "user", "p"};
        QTest::newRow("quotes group") << R"(a "b c" d)" << QStringList{"a", "b c", "d"};
        QTest::newRow("empty quotes") << R"(a "" d)" << QStringList{"a", "", "d"};
        QTest::newRow("tabs and leading blanks") << "  a\tb " << QStringList{"a", "b"};
        QTest::newRow("shell characters are plain text")
            << "x $(rm -rf /);`id`|y" << QStringList{"x", "$(rm", "-rf", "/);`id`|y"};
        QTest::newRow("empty") << "" << QStringList();
        // Written with "/" for a backslash, to keep the rows readable.
        QTest::newRow("even slashes before a quote: half, and the quote groups")
            << "p a//\"b c\" ////\"d\" e////f" << QStringList{"p", "a/b c", "//d", "e////f"};
        QTest::newRow("odd slashes before a quote: a plain quote")
            << "p a/\"b c///\"d" << QStringList{"p", "a\"b", "c/\"d"};
        QTest::newRow("doubled quote inside quotes")
            << "p \"a\"\"b\" c" << QStringList{"p", "a\"b", "c"};
        QTest::newRow("program name keeps its slashes")
            << "\"C:/Program Files/x.exe\" y" << QStringList{"C:/Program Files/x.exe", "y"};
        QTest::newRow("unclosed quote runs to the end") << "p \"a b" << QStringList{"p", "a b"};
    }
    void split() {
        QFETCH(QString, line);
        QFETCH(QStringList, arguments);
        const auto slashed = [](QString text) { return text.replace(u'/', u'\\'); };
        QStringList expected;
        for (const QString& argument : arguments)
            expected << slashed(argument);
        QCOMPARE(splitCommandLine(slashed(line)), expected);
    }

    // 100 dials of the connector while another process's view of every command line is read
    // over and over: no password is ever seen there, and each reaches the tool on its input.
    void noPasswordOnAnyCommandLine() {
        QTemporaryDir dir;
        QFile tool(dir.filePath("rasdial"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\nIFS= read -r password\nsleep 0.05\n"
                   "printf '%s\\n' \"$password\" >>\"$0.got\"\n");
        tool.close();
        tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", dir.path().toUtf8() + ':' + path);

        std::atomic<bool> done{false};
        std::atomic<int> seen{0}, reads{0};
        std::thread reader([&] {
            while (!done) {
                for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
                    QFile cmdline("/proc/" + pid + "/cmdline");
                    if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("Sekr3t-"))
                        ++seen;
                }
                ++reads;
            }
        });
        const std::unique_ptr<Platform> system = createPlatform();
        for (int i = 0; i < 100; ++i)
            QVERIFY(system->launch(dialCommandLine("mira", "Sekr3t-" + QString::number(i)), 0));
        QFile got(dir.filePath("rasdial.got"));
        QTRY_VERIFY_WITH_TIMEOUT(got.size() == 100 * 9 + 90, 20000); // "Sekr3t-N\n" for 0..99
        done = true;
        reader.join();
        qputenv("PATH", path);
        QCOMPARE(seen.load(), 0);
        QVERIFY(reads > 10);
    }

    void resolve_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        const QString dir = QCoreApplication::applicationDirPath();
        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QTest::newRow("browser") << "explorer.exe http://h/bbs/"
                                 << "xdg-open" << QStringList{"http://h/bbs/"} << QByteArray();
        QTest::newRow("browser, any case")
            << "EXPLORER.EXE http://h/"
            << "xdg-open" << QStringList{"http://h/"} << QByteArray();
        QTest::newRow("tool on the path")
            << "rasdial.exe E /Disconnect"
            << "rasdial" << QStringList{"E", "/Disconnect"} << QByteArray();
        QTest::newRow("a dial's password goes on standard input")
            << "rasdial E u /d密"
            << "rasdial" << QStringList{"E", "u", "*"} << QByteArray("/d密\n");
        QTest::newRow("an empty password too")
            << "rasdial E u \"\""
            << "rasdial" << QStringList{"E", "u", "*"} << QByteArray("\n");
        QTest::newRow("own tool next to the program") << self + ".exe a b c" << dir + "/" + self
                                                      << QStringList{"a", "b", "c"} << QByteArray();
        QTest::newRow("empty") << "   "
                               << "" << QStringList() << QByteArray();
    }
    void resolve() {
        QFETCH(QString, line);
        const LaunchTarget target = resolveLaunch(line, QCoreApplication::applicationDirPath());
        QTEST(target.program, "program");
        QTEST(target.arguments, "arguments");
        QTEST(target.standardInput, "input");
    }

    void decode_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("text");
        const QByteArray gbk = QStringEncoder("GBK").encode(QStringLiteral("电信一区:1;u#p"));
        QTest::newRow("gb2312") << gbk << QByteArray("text/plain; charset=gb2312")
                                << "电信一区:1;u#p";
        QTest::newRow("GBK quoted, upper case")
            << gbk << QByteArray("text/plain;Charset=\"GBK\"") << "电信一区:1;u#p";
        QTest::newRow("no charset is UTF-8")
            << QByteArray("公告") << QByteArray("text/html") << "公告";
        QTest::newRow("no header") << QByteArray("公告") << QByteArray() << "公告";
        QTest::newRow("unknown charset is UTF-8")
            << QByteArray("公告") << QByteArray("text/html; charset=nonsense-9") << "公告";
        QTest::newRow("latin1") << QByteArray("caf\xe9")
                                << QByteArray("text/plain; charset=iso-8859-1")
                                << QString::fromUtf8("café");
    }
    void decode() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QTEST(decodeHttpBody(body, contentType), "text");
    }

    // A program that is not there: false at once, and the caller goes on.
    void launchOfAMissingProgram() {
        const auto platform = createPlatform();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!platform->launch("no-such-dial-tool-here.exe MiravonVPN网络连接器 u p", 0));
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(platform->launch("true", 0));
    }

    void sessionBusReachable_data() {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<bool>("userBus");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("an address") << QByteArray("unix:path=/run/user/1000/bus") << false << true;
        QTest::newRow("no address, no user bus") << QByteArray() << false << false;
        QTest::newRow("the user bus only") << QByteArray() << true << true;
    }
    void sessionBusReachable() {
        QFETCH(QByteArray, address);
        QFETCH(bool, userBus);
        QTEST(::sessionBusReachable(address, userBus), "reachable");
    }

    // Without a session bus the connector points its own D-Bus address at nothing; the programs
    // it starts (the browser, the dial tool) get the environment as it found it.
    void childrenGetTheBusAddressAsFound_data() {
        QTest::addColumn<QString>("commandLine"); // TOOL: the stand-in's path
        QTest::newRow("a program") << "TOOL";
        QTest::newRow("a dial, the password on standard input") << "rasdial E user pw";
    }
    void childrenGetTheBusAddressAsFound() {
        QTemporaryDir dir;
        QFile tool(dir.filePath("rasdial"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        // It says whether it was given a D-Bus address, beside itself.
        tool.write(R"(#!/bin/sh
if [ -n "${DBUS_SESSION_BUS_ADDRESS+set}" ]; then echo "set:$DBUS_SESSION_BUS_ADDRESS"
else echo unset; fi >"$0.env"
)");
        tool.close();
        tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", dir.path().toUtf8() + ':' + qgetenv("PATH"));
        qunsetenv("XDG_RUNTIME_DIR"); // no user bus either
        static const bool keptOff = [] {
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
            keepOffUnreachableSessionBus();
            return true;
        }();
        QVERIFY(keptOff);
        QCOMPARE(qgetenv("DBUS_SESSION_BUS_ADDRESS"), QByteArray("disabled:"));

        QFETCH(QString, commandLine);
        QVERIFY(createPlatform()->launch(commandLine.replace("TOOL", tool.fileName()), 0));
        QFile env(tool.fileName() + ".env");
        QTRY_VERIFY(env.size() > 0);
        QVERIFY(env.open(QIODevice::ReadOnly));
        QCOMPARE(env.readAll(), QByteArray("unset\n"));
    }

    // The registry file plays the registry's part for the start page: it exists only once a
    // value has been written, and holds text values only.
    void registryFile() {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        const auto platform = createPlatform();
        const QString value = QStringLiteral(
            R"(HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main\Start page)");
        const QString file = home.path() + "/MiravonVPN/registry.ini";

        QCOMPARE(platform->regRead(value), std::nullopt);
        QVERIFY(!QFile::exists(file));
        QVERIFY(!platform->regWrite(value, "x", "REG_DWORD"));
        QVERIFY(!QFile::exists(file));
        QVERIFY(!platform->regWrite(R"(HKEY_CURRENT_USER\\Start page)", "x", "REG_SZ"));

        QVERIFY(platform->regWrite(value, "http://h/dh.htm", "REG_SZ"));
        QVERIFY(QFile::exists(file));
        QCOMPARE(platform->regRead(value), QString("http://h/dh.htm"));
        QCOMPARE(platform->regRead(value + "2"), std::nullopt);
        QVERIFY(platform->regWrite(value, "", "REG_SZ"));
        QCOMPARE(platform->regRead(value), QString(""));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"

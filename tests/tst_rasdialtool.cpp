// The dial tool as a program, with a stand-in pppd: the options and the password pppd is
// handed, what other processes can see, hang-up, failures, and hostile input to its
// privileged part.
#include "connectorentry.h"
#include "entryrequest.h"
#include "linkrequest.h"
#include "platform/linux/phonebookfile.h"
#include "pppdoptions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString Entry = QStringLiteral("MiravonVPN网络连接器");
const QByteArray Password = "Pw-7f3k9";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int pidfdOpen(pid_t pid) {
    return int(syscall(SYS_pidfd_open, pid, 0));
}

// Whether the process behind pidfd has ended (waiting at most ms).
bool ended(int pidfd, int ms = 0) {
    pollfd item{pidfd, POLLIN, 0};
    return poll(&item, 1, ms) > 0;
}

// The process and all its descendants, from /proc.
QList<pid_t> processTree(pid_t root) {
    std::multimap<pid_t, pid_t> children;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = name.toInt(&number);
        if (!number) continue;
        const QByteArray stat = readAll("/proc/" + name + "/stat");
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1) children.emplace(fields[1].toInt(), pid);
    }
    QList<pid_t> tree{root};
    for (int i = 0; i < tree.size(); ++i)
        for (auto [it, end] = children.equal_range(tree[i]); it != end; ++it)
            tree << it->second;
    return tree;
}

// A folder with a phonebook, a stand-in pppd and the pid-file folder, and the environment that
// points rasdial-testhooks at them.
struct World {
    QTemporaryDir dir;

    World() {
        QDir(dir.path()).mkpath(QStringLiteral("run"));
        QDir(dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(path("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
        QFile::copy(QStringLiteral(FAKE_PPPD), path("pppd"));
        QFile pptp(path("pptp"));
        pptp.open(QIODevice::WriteOnly);
        pptp.write("#!/bin/sh\n");
        pptp.close();
        pptp.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        // iproute2's ip, writing down how it was asked to change the routes.
        QFile ip(path("ip"));
        ip.open(QIODevice::WriteOnly);
        ip.write("#!/bin/sh\necho \"$*\" >>\"$(dirname \"$0\")/IP\"\n");
        ip.close();
        ip.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        routes(true);
        writeBook({Entry});
    }
    ~World() {
        // Daemons a test left behind: ours, named by their pid files.
        for (const QString& name : QDir(path("run")).entryList({"ppp-*.pid"}))
            if (const int pid = readAll(path("run/" + name)).split('\n').value(0).toInt(); pid > 1)
                ::kill(pid, SIGKILL);
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    // The kernel's IPv6 routes as /proc/net/ipv6_route shows them: with IPv6's block (the
    // unreachable routes ::/1 and 8000::/1 that the ppp hook sets) or without.
    void routes(bool blocked) {
        QFile file(path("ipv6_route"));
        file.open(QIODevice::WriteOnly);
        const QByteArray zeros(32, '0');
        file.write("fe800000000000000000000000000000 40 " + zeros + " 00 " + zeros +
                   " 00000100 00000001 00000000 00000001     eth0\n");
        if (blocked)
            for (const char* destination :
                 {"00000000000000000000000000000000", "80000000000000000000000000000000"})
                file.write(QByteArray(destination) + " 01 " + zeros + " 00 " + zeros +
                           " 00000400 00000001 00000000 00200200       lo\n");
    }
    QString book() const { return path("config/MiravonVPN/rasphone.pbk"); }

    void writeBook(const QStringList& entries, const QString& server = "203.0.113.10",
                   int redials = 3, int pause = 60) {
        phonebook::Book phonebook;
        for (const QString& name : entries) {
            phonebook::Entry entry = connectorEntry(server, name);
            entry.set(QStringLiteral("dwRedialCount"), QString::number(redials));
            entry.set(QStringLiteral("dwRedialPause"), QString::number(pause));
            phonebook.entries.append(entry);
        }
        QVERIFY(phonebook::write(book(), phonebook));
    }
    void behave(const QByteArray& behaviour) {
        QFile file(path("behaviour"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(behaviour);
    }
    pid_t linkPid(const QString& entry, uid_t owner = getuid()) const {
        const std::string name = rasdial::linkName(owner, entry.toStdString());
        return readAll(path("run/ppp-" + QString::fromStdString(name) + ".pid"))
            .split('\n')[0]
            .toInt();
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("RASDIAL_SIMULATOR"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("runtime"));
        env.insert(QStringLiteral("RASDIAL_TEST_PPPD"), path("pppd"));
        env.insert(QStringLiteral("RASDIAL_TEST_PPTP"), path("pptp"));
        env.insert(QStringLiteral("RASDIAL_TEST_RUNDIR"), path("run"));
        env.insert(QStringLiteral("RASDIAL_TEST_IP"), path("ip"));
        env.insert(QStringLiteral("RASDIAL_TEST_IPV6_ROUTES"), path("ipv6_route"));
        env.insert(QStringLiteral("RASDIAL_TEST_HELPER"), QStringLiteral(RASDIAL_HELPER_TESTHOOKS));
        // A pkexec that runs its arguments: the same road as an ordinary user's, without polkit.
        env.insert(QStringLiteral("RASDIAL_TEST_PKEXEC"), QStringLiteral("/usr/bin/env"));
        return env;
    }

    // What rasdial hands its privileged part: nothing but the path and the test hooks.
    QProcessEnvironment helperEnvironment() const {
        const QProcessEnvironment full = environment();
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        for (const char* name : {"RASDIAL_TEST_PPPD", "RASDIAL_TEST_PPTP", "RASDIAL_TEST_RUNDIR",
                                 "RASDIAL_TEST_IP", "RASDIAL_TEST_IPV6_ROUTES"})
            env.insert(QLatin1String(name), full.value(QLatin1String(name)));
        return env;
    }

    struct Outcome {
        int status = -1;
        QString out, err;
    };
    Outcome run(const QStringList& args, const QProcessEnvironment& env,
                const QByteArray& input = {},
                const QString& program = QStringLiteral(RASDIAL_TESTHOOKS)) const {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, args);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(10000)) process.kill();
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    Outcome run(const QStringList& args) const { return run(args, environment()); }
    // The privileged helper itself, as pkexec starts it.
    Outcome runHelper(const QProcessEnvironment& env, const QByteArray& request,
                      const QStringList& args = {}) const {
        return run(args, env, request, QStringLiteral(RASDIAL_HELPER_TESTHOOKS));
    }
};

// The dial request the user's side makes of an entry of the world's phonebook.
std::optional<rasdial::LinkRequest> requestFor(const World& world, const QString& entry) {
    const phonebook::ReadResult book = phonebook::read(world.book());
    const phonebook::Entry* found = book.book.find(entry);
    if (!found) return std::nullopt;
    return rasdial::dialRequest(*found, "user", Password.toStdString());
}

} // namespace

class TestRasdialTool : public QObject {
    Q_OBJECT
private slots:
    void dialHandsPppdItsOptionsAndThePassword() {
        World world;
        // Windows' "ask for the password" form, as the connector dials on Linux.
        const auto outcome = world.run({Entry, "user", "*"}, world.environment(), Password + "\n");
        QCOMPARE(outcome.status, 0);
        QVERIFY2(outcome.out.endsWith("Command completed successfully.\n"),
                 qPrintable(outcome.out));
        const QList<QByteArray> args = readAll(world.path("ARGS")).split('\n');
        QCOMPARE(args.value(0), world.path("pppd").toUtf8());
        QCOMPARE(args.value(1), QByteArray("file"));
        QVERIFY(args.contains("replacedefaultroute"));
        QVERIFY(args.contains("require-mppe"));
        QVERIFY(!args.contains("persist")); // a dropped link stays down
        // The server, the account and the password come in a root-only file, gone once pppd
        // has returned; pppd keeps no descriptor of ours but its standard ones.
        QVERIFY(!readAll(world.path("ARGS")).contains("203.0.113.10"));
        QVERIFY(!args.contains("user"));
        const QByteArray options = readAll(world.path("OPTIONS"));
        QVERIFY2(options.startsWith("pty \"\\057") &&
                     options.endsWith("pptp\\040203\\0560\\056113\\05610\\040\\055\\055nolaunchpppd"
                                      "\"\nuser \"user\"\npassword \"Pw\\0557f3k9\"\n"),
                 options.constData());
        QCOMPARE(readAll(world.path("DESCRIPTORS")), "0\n1\n2\n");
        QVERIFY(QDir(world.path("run/miravon-vpn")).entryList(QDir::Files).isEmpty());
        // The link stays up after the tool has ended, and the pid file names it.
        const pid_t daemon = world.linkPid(Entry);
        QVERIFY(daemon > 1);
        QCOMPARE(::kill(daemon, 0), 0);
        QVERIFY(!readAll(QStringLiteral("/proc/%1/cmdline").arg(daemon)).contains(Password));
        QVERIFY(!readAll(QStringLiteral("/proc/%1/environ").arg(daemon)).contains(Password));
        // A second dial says so and starts nothing.
        QFile::remove(world.path("ARGS"));
        const auto again = world.run({Entry, "user", Password});
        QCOMPARE(again.status, 0);
        QVERIFY2(again.out.contains("You are already connected to " + Entry),
                 qPrintable(again.out));
        QVERIFY(!QFile::exists(world.path("ARGS")));
        QCOMPARE(world.linkPid(Entry), daemon);
    }

    void passwordSeenByNoOtherProcess() {
        World world;
        world.behave("hold");
        for (const char* fifo : {"ready", "go"})
            QCOMPARE(mkfifo(qPrintable(world.path(fifo)), 0600), 0);
        const int ready = open(qPrintable(world.path("ready")), O_RDONLY | O_NONBLOCK);
        QVERIFY(ready >= 0);
        QProcess rasdial;
        rasdial.setProcessEnvironment(world.environment());
        rasdial.start(QStringLiteral(RASDIAL_TESTHOOKS), {Entry, "user", Password});
        QVERIFY(rasdial.waitForStarted());
        // The stand-in says "ready" while it holds: rasdial, its privileged part and "pppd"
        // are all running now.
        pollfd item{ready, POLLIN, 0};
        QCOMPARE(poll(&item, 1, 5000), 1);
        const QList<pid_t> tree = processTree(pid_t(rasdial.processId()));
        QVERIFY2(tree.size() >= 3, qPrintable(QString::number(tree.size())));
        for (const pid_t pid : tree) {
            const QByteArray cmdline = readAll(QStringLiteral("/proc/%1/cmdline").arg(pid));
            QVERIFY(!cmdline.isEmpty());
            QVERIFY2(!cmdline.contains(Password), cmdline.constData());
            QVERIFY(!readAll(QStringLiteral("/proc/%1/environ").arg(pid)).contains(Password));
        }
        // The tool's own arguments still show the entry: the check reads the right process.
        QVERIFY(readAll(QStringLiteral("/proc/%1/cmdline").arg(rasdial.processId()))
                    .contains(Entry.toUtf8()));
        // Meanwhile a second dial of the entry does not start another pppd.
        const auto second = world.run({Entry, "user", Password});
        QCOMPARE(second.status, 756 & 0xFF);
        QCOMPARE(processTree(pid_t(rasdial.processId())).size(), tree.size());
        const int go = open(qPrintable(world.path("go")), O_WRONLY);
        QCOMPARE(write(go, "g", 1), 1);
        close(go);
        close(ready);
        QVERIFY(rasdial.waitForFinished(5000));
        QCOMPARE(rasdial.exitCode(), 0);
        QVERIFY(readAll(world.path("OPTIONS")).contains("password \"Pw\\0557f3k9\""));
    }

    void hangUpStopsThatLinkOnly() {
        World world;
        const QString other = QStringLiteral("另一个");
        world.writeBook({Entry, other});
        QCOMPARE(world.run({Entry, "u", "p"}).status, 0);
        QCOMPARE(world.run({other, "u", "p"}).status, 0);
        const int mine = pidfdOpen(world.linkPid(Entry));
        const int theirs = pidfdOpen(world.linkPid(other));
        QVERIFY(mine >= 0 && theirs >= 0);
        QCOMPARE(world.run({}).out,
                 "Connected to\n" + Entry + "\n" + other + "\nCommand completed successfully.\n");

        const auto outcome = world.run({Entry, "/Disconnect"});
        QCOMPARE(outcome.status, 0);
        QVERIFY(ended(mine));
        QVERIFY(!ended(theirs));
        QCOMPARE(world.linkPid(Entry), 0); // the stand-in removed its pid file, as pppd does
        const auto again = world.run({Entry, "/d"});
        QCOMPARE(again.status, 668 & 0xFF);
        QVERIFY(again.out.startsWith("Remote Access error 668 - "));
        close(mine);
        close(theirs);
    }

    // The connector gives up on a dial and hangs up: the dial still in progress ends, nothing
    // comes up after the hang-up, and a second dial meanwhile is refused.
    void hangUpEndsADialInProgress() {
        World world;
        world.behave("dialling");
        QProcess dialling;
        dialling.setProcessEnvironment(world.environment());
        dialling.start(QStringLiteral(RASDIAL_TESTHOOKS), {Entry, "user", Password});
        QTRY_VERIFY(QFile::exists(world.path("DIALLING")));
        const pid_t pppd = readAll(world.path("DIALLING")).split('\n')[0].toInt();
        QCOMPARE(world.run({Entry, "user", Password}).status, 756 & 0xFF);

        const auto hangUp = world.run({Entry, "/d"});
        QCOMPARE(hangUp.status, 0);
        QVERIFY2(hangUp.out.contains("Command completed successfully."), qPrintable(hangUp.out));
        QVERIFY(dialling.waitForFinished(5000));
        QCOMPARE(dialling.exitCode(), 631 & 0xFF);
        QVERIFY(dialling.readAllStandardOutput().contains("Remote Access error 631 - "));
        QVERIFY(pppd > 0 && ::kill(pppd, 0) != 0);
        QCOMPARE(readAll(world.path("RUNS")).count('\n'), 1);
        QCOMPARE(world.run({Entry, "/d"}).status, 668 & 0xFF);
    }

    // A pppd killed with SIGKILL (or by the out-of-memory killer, or crashed) runs no ip-down
    // hook: IPv6's block stays until the helper sweeps it, at the next dial or hang-up, once no
    // link of the tool's is up. The connector's hang-up of the dead link is such a hang-up.
    void killedPppdLeavesNoIpv6Block() {
        World world;
        world.writeBook({Entry, "Other"});
        const QByteArray sweep("-6 route del unreachable ::/1 proto 109\n"
                               "-6 route del unreachable 8000::/1 proto 109\n");
        QCOMPARE(world.run({Entry, "user", "pw"}).status, 0);
        QCOMPARE(readAll(world.path("IP")), sweep); // no link was up
        QFile::remove(world.path("IP"));
        QCOMPARE(world.run({"Other", "user", "pw"}).status, 0);
        // Another link is up: nothing swept.
        QCOMPARE(readAll(world.path("IP")), QByteArray());
        const pid_t other = world.linkPid("Other");
        QVERIFY(other > 0);
        QCOMPARE(world.run({"Other", "/d"}).status, 0);
        QCOMPARE(readAll(world.path("IP")), QByteArray()); // Entry's link is still up
        const pid_t pppd = world.linkPid(Entry);
        const int pidfd = pidfdOpen(pppd);
        QVERIFY(pidfd >= 0);
        ::kill(pppd, SIGKILL);
        QVERIFY(ended(pidfd, 5000));
        close(pidfd);
        const QString pidFile = world.path(
            "run/ppp-" + QString::fromStdString(rasdial::linkName(getuid(), Entry.toStdString())) +
            ".pid");
        QVERIFY(QFile::exists(pidFile)); // it could not remove it
        const auto hangUp = world.run({Entry, "/d"});
        QCOMPARE(hangUp.status, 668 % 256); // the link was gone already
        QCOMPARE(readAll(world.path("IP")), sweep);
        QVERIFY(!QFile::exists(pidFile));
        // Without the block's routes ip is not started at all.
        QFile::remove(world.path("IP"));
        world.routes(false);
        QCOMPARE(world.run({Entry, "user", "pw"}).status, 0);
        QCOMPARE(world.run({Entry, "/d"}).status, 0);
        QVERIFY(!QFile::exists(world.path("IP")));
    }

    void pidFileOfAnotherProcessIsNotObeyed() {
        World world;
        QProcess sleeper;
        sleeper.start(QStringLiteral("sleep"), {"30"});
        QVERIFY(sleeper.waitForStarted());
        const std::string link = rasdial::linkName(getuid(), Entry.toStdString());
        QFile pidFile(world.path("run/ppp-" + QString::fromStdString(link) + ".pid"));
        QVERIFY(pidFile.open(QIODevice::WriteOnly));
        pidFile.write(QByteArray::number(sleeper.processId()) + "\nppp0\n");
        pidFile.close();
        const auto outcome = world.run({Entry, "/DISCONNECT"});
        QCOMPARE(outcome.status, 668 & 0xFF);
        QVERIFY2(outcome.err.contains("not the pppd of this link"), qPrintable(outcome.err));
        QVERIFY(!sleeper.waitForFinished(200));
        QCOMPARE(sleeper.state(), QProcess::Running);
        sleeper.kill();
        sleeper.waitForFinished();
    }

    void pppdIgnoringTheSignalIsKilled() {
        World world;
        world.behave("stubborn");
        QCOMPARE(world.run({Entry, "u", "p"}).status, 0);
        const int link = pidfdOpen(world.linkPid(Entry));
        QVERIFY(link >= 0);
        QProcessEnvironment env = world.environment();
        env.insert(QStringLiteral("RASDIAL_TEST_PATIENCE_SECONDS"), QStringLiteral("1"));
        QElapsedTimer clock;
        clock.start();
        const auto outcome = world.run({Entry, "/d"}, env);
        QCOMPARE(outcome.status, 0);
        QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(outcome.err.contains("killed"), qPrintable(outcome.err));
        QVERIFY(ended(link));
        QCOMPARE(world.linkPid(Entry), 0); // removed for the killed pppd
        close(link);
    }

    void failures_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("note"); // on standard error
        QTest::addColumn<int>("runs");     // of pppd: one, although the entry allows a redial
        QTest::newRow("no such entry") << ""
                                       << "其他" << 623 << "" << 0;
        QTest::newRow("phonebook unreadable") << "unreadable" << Entry << 621 << "cannot read" << 0;
        QTest::newRow("phonebook damaged") << "damaged" << Entry << 625 << "not a phonebook" << 0;
        QTest::newRow("pppd missing") << "no pppd" << Entry << 800 << "is missing" << 0;
        QTest::newRow("pkexec missing") << "no pkexec" << Entry << 5 << "pkexec" << 0;
        QTest::newRow("authentication failed: no redial")
            << "fail 19" << Entry << 691 << "pppd: authentication failed" << 1;
        QTest::newRow("refused, then the server closed the call: no redial")
            << "refused 16" << Entry << 691 << "MS-CHAP authentication failed" << 1;
        QTest::newRow("negotiation failed: no redial")
            << "fail 10" << Entry << 800 << "pppd: the PPP negotiation failed" << 1;
        QTest::newRow("nothing listens at the server's port: pppd never started")
            << "closed port" << Entry << 800 << "does not answer on TCP port" << 0;
        QTest::newRow("the server's port answers") << "open port" << Entry << 0 << "" << 1;
    }
    void failures() {
        QFETCH(QString, setup);
        QFETCH(QString, entry);
        QFETCH(int, code);
        World world;
        world.writeBook({Entry}, "127.0.0.1", 1, 0);
        QProcessEnvironment env = world.environment();
        QTcpServer pptpServer; // on 127.0.0.1 only, like every server of the tests
        QVERIFY(pptpServer.listen(QHostAddress::LocalHost));
        if (setup == "unreadable") {
            QFile::remove(world.book());
            QVERIFY(QDir().mkpath(world.book())); // a folder where the file should be
        } else if (setup == "damaged") {
            QFile file(world.book());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not = an entry\n[");
        } else if (setup == "no pppd") {
            env.insert(QStringLiteral("RASDIAL_TEST_PPPD"), world.path("nothing"));
        } else if (setup == "no pkexec") {
            env.insert(QStringLiteral("RASDIAL_TEST_PKEXEC"), world.path("nothing"));
        } else if (setup.startsWith("fail") || setup.startsWith("refused")) {
            world.behave(setup.toUtf8());
        } else if (setup.endsWith("port")) {
            const quint16 port = pptpServer.serverPort();
            if (setup == "closed port") pptpServer.close();
            env.insert(QStringLiteral("RASDIAL_TEST_PPTP_PORT"), QString::number(port));
        }
        const auto outcome = world.run({entry, "u", "p"}, env);
        QCOMPARE(outcome.status, code & 0xFF);
        const QString line = code ? QStringLiteral("Remote Access error %1 - ").arg(code)
                                  : QStringLiteral("Command completed successfully.");
        QVERIFY2(outcome.out.contains(line), qPrintable(outcome.out));
        QFETCH(QString, note);
        QVERIFY2(outcome.err.contains(note), qPrintable(outcome.err));
        QTEST(int(readAll(world.path("RUNS")).count('\n')), "runs");
    }

    void hostileRequests_data() {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("code");
        const QByteArray server = "szLocalPhoneNumber=203.0.113.10\n";
        QTest::newRow("sound request") << QByteArray() << QByteArray() << 0;
        QTest::newRow("command after ;")
            << server << QByteArray("szLocalPhoneNumber=1.2.3.4; touch /tmp/x\n") << 625;
        QTest::newRow("blanks") << server << QByteArray("szLocalPhoneNumber=1.2.3.4 --opt\n")
                                << 625;
        QTest::newRow("quote") << server << QByteArray("szLocalPhoneNumber=1.2.3.4\"x\n") << 625;
        QTest::newRow("escaped newline")
            << server << QByteArray("szLocalPhoneNumber=1.2.3.4\\nid\n") << 625;
        QTest::newRow("leading hyphen")
            << server << QByteArray("szLocalPhoneNumber=--opt\n") << 625;
        QTest::newRow("server given twice") << server << server + server << 625;
        QTest::newRow("missing password") << QByteArray("password=p\n") << QByteArray() << 625;
        QTest::newRow("unknown key") << server << server + "file=/etc/shadow\n" << 625;
        QTest::newRow("password of 256")
            << QByteArray("password=p\n") << "password=" + QByteArray(256, 'p') + "\n"
            << 625;
        QTest::newRow("entry of 257") << "entry=" + Entry.toUtf8() + "\n"
                                      << "entry=" + QByteArray(257, 'e') + "\n"
                                      << 625;
        QTest::newRow("request over 4 KiB")
            << QByteArray("user=u\n") << "user=" + QByteArray(5000, 'u') + "\n"
            << 625;
        QTest::newRow("raw control byte")
            << QByteArray("user=u\n") << QByteArray("user=u\rv\n") << 625;
        QTest::newRow("negative pause")
            << QByteArray("dwRedialPause=60\n") << QByteArray("dwRedialPause=-1\n") << 625;
        QTest::newRow("other format")
            << QByteArray("rasdial-request 1\n") << QByteArray("rasdial-request 2\n") << 625;
    }
    void hostileRequests() {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, code);
        World world;
        rasdial::LinkRequest request;
        request.entry = Entry.toStdString();
        request.server = "203.0.113.10";
        request.options = 0x3D0D0310;
        request.protocols = 4;
        request.type = 2;
        request.encryption = 3;
        request.redialCount = 3;
        request.redialPause = 60;
        request.user = "u";
        request.password = "p";
        QByteArray text = QByteArray::fromStdString(rasdial::serializeRequest(request));
        if (!from.isEmpty()) {
            QVERIFY(text.contains(from));
            text.replace(from, to);
        }
        const auto outcome = world.runHelper(world.helperEnvironment(), text);
        QCOMPARE(outcome.status, code & 0xFF);
        QCOMPARE(QFile::exists(world.path("ARGS")), code == 0);
    }

    // Each user's links are their own: another user neither sees nor hangs them up, and one
    // user has at most two.
    void helperKeepsUsersApart() {
        World world;
        world.writeBook({Entry, "二", "三"});
        const auto as = [&](const char* uid, const QString& entry, bool dial) {
            QProcessEnvironment env = world.helperEnvironment();
            env.insert(QStringLiteral("PKEXEC_UID"), QLatin1String(uid));
            rasdial::LinkRequest request;
            request.action = dial ? rasdial::RequestAction::Dial : rasdial::RequestAction::HangUp;
            request.entry = entry.toStdString();
            if (dial) request = *requestFor(world, entry);
            return world.runHelper(env, QByteArray::fromStdString(serializeRequest(request)))
                .status;
        };
        QCOMPARE(as("1000", Entry, true), 0);
        const pid_t mine = world.linkPid(Entry, 1000);
        QVERIFY(mine > 0);
        QCOMPARE(as("1001", Entry, false), 668 & 0xFF);
        QCOMPARE(::kill(mine, 0), 0);
        QCOMPARE(as("1001", Entry, true), 0); // a link of the other user's own
        QCOMPARE(as("1000", "二", true), 0);
        QCOMPARE(as("1000", "三", true), 5); // a third link of one user
        QCOMPARE(as("1000", Entry, false), 0);
        QCOMPARE(world.linkPid(Entry, 1000), 0);
        QCOMPARE(as("0", "二", false), 0); // root hangs up anyone's
        QCOMPARE(world.linkPid("二", 1000), 0);
    }

    // pppd starts with root's limits, no core dumps, in its own session, from "/"; the
    // caller's limits, folder and terminal session stay the caller's.
    void helperStartsPppdFresh() {
        World world;
        QProcess helper;
        helper.setProcessEnvironment(world.helperEnvironment());
        helper.setWorkingDirectory(world.path(""));
        helper.start(QStringLiteral("prlimit"), {"--fsize=65536:unlimited", "--core=unlimited",
                                                 QStringLiteral(RASDIAL_HELPER_TESTHOOKS)});
        helper.write(QByteArray::fromStdString(serializeRequest(*requestFor(world, Entry))));
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(10000));
        QCOMPARE(helper.exitCode(), 0);
        rlimit own;
        QCOMPARE(prlimit(1, RLIMIT_FSIZE, nullptr, &own), 0);
        const QString fsize = own.rlim_cur == RLIM_INFINITY ? "-1" : QString::number(own.rlim_cur);
        const QList<QByteArray> state = readAll(world.path("STATE")).split(' ');
        QCOMPARE(state.size(), 4);
        QCOMPARE(state[0], QByteArray("core=0"));
        QCOMPARE(state[1], "fsize=" + fsize.toUtf8());
        QVERIFY2(state[2].mid(4).toInt() != getsid(0), state[2].constData());
        QCOMPARE(state[3], QByteArray("cwd=/"));
    }

    // A caller who never reads its output, or never sends a request, holds no lock that
    // others wait for, and no more than four helpers of one user run.
    void helperCannotBeHeldByItsCaller() {
        World world;
        world.writeBook({Entry, "二"});
        QProcessEnvironment env = world.helperEnvironment();
        env.insert(QStringLiteral("PKEXEC_UID"), QStringLiteral("1002"));
        env.insert(QStringLiteral("RASDIAL_TEST_PATIENCE_SECONDS"), QStringLiteral("2"));
        // Output into a pipe the caller filled and never reads.
        const QString full = world.path("full");
        QCOMPARE(mkfifo(qPrintable(full), 0600), 0);
        const int reader = open(qPrintable(full), O_RDONLY | O_NONBLOCK);
        const int writer = open(qPrintable(full), O_WRONLY | O_NONBLOCK);
        const QByteArray filler(4096, 'x');
        while (write(writer, filler.constData(), std::size_t(filler.size())) > 0) {
        }
        QProcess stuck;
        stuck.setProcessEnvironment(env);
        stuck.setStandardOutputFile(full);
        stuck.start(QStringLiteral(RASDIAL_HELPER_TESTHOOKS), QStringList());
        stuck.write(QByteArray::fromStdString(serializeRequest(*requestFor(world, Entry))));
        stuck.closeWriteChannel();
        QTRY_VERIFY(world.linkPid(Entry, 1002) > 0);
        // Three more that never send their request fill the user's four helpers.
        QList<QProcess*> silent;
        for (int i = 0; i < 3; ++i) {
            silent << new QProcess(this);
            silent.last()->setProcessEnvironment(env);
            silent.last()->start(QStringLiteral(RASDIAL_HELPER_TESTHOOKS), QStringList());
        }
        QTest::qWait(300);
        const QByteArray second =
            QByteArray::fromStdString(serializeRequest(*requestFor(world, "二")));
        const auto refused = world.runHelper(env, second);
        QCOMPARE(refused.status, 756 & 0xFF);
        QVERIFY2(refused.err.contains("at most 4 requests"), qPrintable(refused.err));
        // The silent ones give up after their patience; the stuck one after as long of a full
        // pipe.
        for (QProcess* process : silent)
            QVERIFY(process->waitForFinished(4000));
        QCOMPARE(world.runHelper(env, second).status, 0); // no dial lock left behind
        QVERIFY(stuck.waitForFinished(4000));
        close(reader);
        close(writer);
        qDeleteAll(silent);
    }

    void helperTakesNoArguments() {
        World world;
        const auto outcome = world.runHelper(world.helperEnvironment(), {}, {"--link-helper"});
        QCOMPARE(outcome.status, 5);
        QVERIFY(!QFile::exists(world.path("RUNS")));
    }

    void helperRefusesAForeignEnvironment() {
        World world;
        QProcessEnvironment env = world.helperEnvironment();
        env.insert(QStringLiteral("QT_PLUGIN_PATH"), world.path(""));
        const auto outcome = world.runHelper(env, "rasdial-request 1\naction=hangup\nentry=E\n");
        QCOMPARE(outcome.status, 5);
        QVERIFY2(outcome.err.contains("QT_PLUGIN_PATH"), qPrintable(outcome.err));
    }
};

QTEST_GUILESS_MAIN(TestRasdialTool)
#include "tst_rasdialtool.moc"

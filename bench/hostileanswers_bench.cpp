// Start-up against hostile answers: the peak memory of the whole process and the longest time
// the window's thread goes without handling its events (a freeze), from the window's creation
// until it is shown with its server list and bulletin page drawn on every tab.
//   hostileanswers-bench           every case, each in a process of its own, beside "normal"
//   hostileanswers-bench CASE      one case: prints CASE, peak memory (KB) and freeze (ms)
// The hostile site runs in a separate process, so that its own memory does not count.
#include "fakeplatform.h"
#include "platform/boundedget.h"
#include "platform/bulletinview.h"
#include "testsite.h"
#include "window/frmtunrell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <iostream>

namespace {

const QStringList Cases = {"normal",
                           "400 MB list",
                           "endless list",
                           "10 MB server name",
                           "list at the cap",
                           "endless lookup page",
                           "10 MB bulletin",
                           "endless bulletin",
                           "bulletin at the cap",
                           "nested tables at the cap"};

// A body of `size` bytes made of `line` repeated, sent as fast as the client reads.
TestServer::Handler repeated(std::string line, size_t size, std::string contentType) {
    return [=](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(size, contentType.c_str(),
                                 [line](size_t offset, size_t length, httplib::DataSink& sink) {
                                     std::string piece;
                                     while (piece.size() < std::min<size_t>(length, 1 << 16))
                                         piece += line;
                                     piece.resize(std::min(piece.size(), length));
                                     (void)offset;
                                     return sink.write(piece.data(), piece.size());
                                 });
    };
}

void serve(const QString& name) {
    TestSite site;
    TestServer& s = site.server;
    const std::string row = "<tr><td>公告</td><td><a href=\"/bbs/\">论坛</a></td></tr>\n";
    if (name == "400 MB list")
        s.route("/vpn/list.txt", repeated("S:1;a#b\r", 400u << 20, "text/plain"));
    if (name == "endless list")
        s.route("/vpn/list.txt", s.endless(std::string(8192, 'x') + ":\r", 0));
    if (name == "10 MB server name")
        s.route("/vpn/list.txt", s.text(std::string(10 << 20, 'N') + ":1;a#b\r"));
    if (name == "list at the cap") {
        std::string list;
        const std::string line =
            std::string(1000, 'N') + ":10.0.0.1;mira#" + std::string(8, 'p') + "\r";
        while (list.size() + line.size() <= size_t(MaxAnswerBytes))
            list += line;
        s.route("/vpn/list.txt", s.text(list));
    }
    if (name == "endless lookup page") {
        // The first look never ends at full speed; the next one answers.
        auto looks = std::make_shared<std::atomic<int>>(0);
        auto flood = s.endless(std::string(1 << 16, 'x'), 0);
        auto answer = s.text("<center>您的IP是:[127.0.0.1]</center>", "text/html");
        s.route("/ip2city.asp", [=](const httplib::Request& q, httplib::Response& r) {
            ((*looks)++ == 0 ? flood : answer)(q, r);
        });
    }
    if (name == "10 MB bulletin") s.route("/msg.htm", repeated(row, 10u << 20, "text/html"));
    if (name == "endless bulletin") s.route("/msg.htm", s.endless(row, 0));
    if (name == "bulletin at the cap") {
        std::string page = "<table>";
        while (page.size() + row.size() + 8 <= size_t(BulletinView::MaxPageBytes))
            page += row;
        s.route("/msg.htm", s.text(page + "</table>", "text/html; charset=utf-8"));
    }
    if (name == "nested tables at the cap") {
        std::string open, close;
        while (open.size() + close.size() + 40 <= size_t(BulletinView::MaxPageBytes)) {
            open += "<table><tr><td>x";
            close += "</td></tr></table>";
        }
        s.route("/msg.htm", s.text(open + close, "text/html"));
    }
    std::cout << site.server.base().toStdString() << std::endl;
    std::string line;
    std::getline(std::cin, line); // until the measuring process is done
}

qint64 peakKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int measure(const QString& name) {
    QProcess site;
    site.start(QCoreApplication::applicationFilePath(), {"--serve", name});
    if (!site.waitForReadyRead(10'000)) return 1;
    AppConfig config;
    config.siteUrl = config.lookupUrl = QString::fromUtf8(site.readLine().trimmed());
    config.versionMajor = 2;
    config.versionMinor = 1;

    qint64 freezeMs = 0;
    QElapsedTimer sinceTick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { freezeMs = std::max(freezeMs, sinceTick.restart()); });
    FakePlatform platform;
    frmtunrell window(config, platform);
    sinceTick.start();
    probe.start(5);
    window.Form_Load();
    window.show();
    auto* bulletin = window.findChild<BulletinView*>("WebBrowser1");
    for (int waited = 0; bulletin->isLoading() && waited < 30'000; waited += 50)
        spin(50);
    auto* tabs = window.findChild<QTabWidget*>("SSTab1");
    for (int tab : {1, 2, 0, 1}) {
        tabs->setCurrentIndex(tab);
        window.grab();
        spin(20);
    }
    probe.stop();
    std::printf("%-22s peak %7lld KB   longest freeze %5lld ms   servers %d\n", qPrintable(name),
                peakKb(), freezeMs, int(itemTexts(window, "List1").size()));
    site.write("\n");
    site.waitForFinished(5000);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && QByteArray(argv[1]) == "--serve") {
        QCoreApplication app(argc, argv);
        serve(QString::fromUtf8(argv[2]));
        return 0;
    }
    QApplication app(argc, argv);
    if (argc == 2) return measure(QString::fromUtf8(argv[1]));
    for (const QString& name : Cases) {
        QProcess one;
        one.setProcessChannelMode(QProcess::ForwardedChannels);
        one.start(QCoreApplication::applicationFilePath(), {name});
        one.waitForFinished(120'000);
    }
    return 0;
}

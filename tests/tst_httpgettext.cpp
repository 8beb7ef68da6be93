// The one network read: against real servers on 127.0.0.1 whose answers the test decides.
#include "platform/boundedget.h"
#include "testserver.h"
#include "web/httpgettext.h"
#include "web/publicaddress.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <optional>

namespace {

struct Timed {
    QString text;
    qint64 ms;
};

Timed timedFetch(const QString& url, qint16 limit) {
    QElapsedTimer clock;
    clock.start();
    QString text = HttpGetText(url, QString(), limit);
    return {text, clock.elapsed()};
}

// The process's resident memory now (VmRSS) or its peak since the last reset (VmHWM), in KB.
qint64 memoryKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(QByteArray(field) + ':'))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// Texts in GBK, as written out byte by byte (Qt has no GBK encoder on every system).
const std::string GbkLookupPage = "\xc4\xfa\xb5\xc4IP\xca\xc7:[1.2.3.4]"; // 您的IP是:[1.2.3.4]
const std::string GbkDian = "\xb5\xe7";                                        // 电

// Records each request head as it came over the wire and answers with canned responses.
struct RequestRecorder {
    QTcpServer listener;
    QList<QByteArray> answers;
    QList<QByteArray> heads;

    explicit RequestRecorder(QList<QByteArray> cannedAnswers) : answers(std::move(cannedAnswers)) {
        listener.listen(QHostAddress::LocalHost);
        QObject::connect(&listener, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = listener.nextPendingConnection();
            auto head = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
                head->append(socket->readAll());
                if (!head->contains("\r\n\r\n")) return;
                heads << *head;
                socket->write(answers.isEmpty() ? QByteArray() : answers.takeFirst());
                socket->disconnectFromHost();
                // One answer per connection: a request that came on it before it closed (a
                // redirect sent on the kept-alive connection) is sent again on a new one.
                QObject::disconnect(socket, &QTcpSocket::readyRead, socket, nullptr);
            });
        });
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(listener.serverPort()).arg(path);
    }
};

// A request head as a server reads it: the request line, then each header's name in lower
// case (names are case-insensitive) with its value exactly as sent, and what followed the head.
struct ParsedRequest {
    QByteArray requestLine;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray afterHead;

    explicit ParsedRequest(const QByteArray& raw) {
        const qsizetype end = raw.indexOf("\r\n\r\n");
        afterHead = end < 0 ? QByteArray() : raw.mid(end + 4);
        QList<QByteArray> lines = raw.left(end).split('\n');
        for (QByteArray& line : lines)
            if (line.endsWith('\r')) line.chop(1);
        requestLine = lines.takeFirst();
        for (const QByteArray& field : lines) {
            const qsizetype colon = field.indexOf(':');
            if (colon <= 0) {
                headers.append({QByteArray(), field}); // not a header line: fails every lookup
                continue;
            }
            headers.append({field.left(colon).toLower(), field.mid(colon + 1).trimmed()});
        }
    }
    // Every value sent under this name (any casing), in order.
    QList<QByteArray> values(const QByteArray& name) const {
        QList<QByteArray> found;
        for (const auto& [key, value] : headers)
            if (key == name.toLower()) found << value;
        return found;
    }
};

} // namespace

class TestHttpGetText : public QObject {
    Q_OBJECT
private slots:
    // The request as a server reads it: one GET without a body, with exactly one Cookie header,
    // empty, and one If-Modified-Since, "0" (header names in any casing: Qt 6.8 sends them in
    // lower case); a cookie the server sets, even within the same fetch, never replaces the
    // empty one.
    void sendsOnePlainGetWithEmptyCookie() {
        RequestRecorder server({"HTTP/1.1 302 Found\r\nSet-Cookie: session=abc; Path=/\r\n"
                                "Location: /b\r\nContent-Length: 0\r\n\r\n",
                                "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nB",
                                "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nB"});
        QCOMPARE(HttpGetText(server.url("/a"), QString(), 5), QString("B"));
        QCOMPARE(HttpGetText(server.url("/b"), QString(), 5), QString("B"));
        QCOMPARE(server.heads.size(), 3);
        for (const QByteArray& head : server.heads) {
            const ParsedRequest request(head);
            QVERIFY2(request.requestLine.startsWith("GET /"), head.constData());
            QVERIFY2(request.requestLine.endsWith(" HTTP/1.1"), head.constData());
            QCOMPARE(request.values("Cookie"), QList<QByteArray>{QByteArray("")});
            QCOMPARE(request.values("If-Modified-Since"), QList<QByteArray>{QByteArray("0")});
            QVERIFY2(request.values("Content-Length").isEmpty(), head.constData());
            QVERIFY2(request.values("Transfer-Encoding").isEmpty(), head.constData());
            QVERIFY2(request.afterHead.isEmpty(), head.constData());
            QVERIFY2(!head.contains("session"), head.constData());
        }
    }

    // Whatever the host or the path does, the fetch ends on time with the expected text, and
    // memory grows by no more than the body cap allows. Status 0: no whole answer came.
    void faults_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("maxMs");
        QTest::addColumn<int>("maxGrowthMb"); // 0: not measured
        QTest::newRow("refused") << "refused" << 5 << "" << 0 << 300 << 0;
        QTest::newRow("cut off mid-body") << "cut" << 5 << "" << 0 << 300 << 0;
        QTest::newRow("accepted and silent") << "silent" << 1 << "" << 0 << 1300 << 0;
        QTest::newRow("trickle done within the limit")
            << "trickle" << 2 << "abcdef" << 200 << 2300 << 0;
        QTest::newRow("a byte a second without end") << "drip" << 2 << "" << 0 << 2300 << 0;
        QTest::newRow("late answer within the limit") << "late" << 1 << "late" << 200 << 1300 << 0;
        QTest::newRow("404 page") << "404" << 5 << "<html>404 Not Found</html>" << 404 << 300 << 0;
        QTest::newRow("500 page") << "500" << 5 << "<html>Server Error</html>" << 500 << 300 << 0;
        QTest::newRow("empty body") << "empty" << 5 << "" << 200 << 300 << 0;
        QTest::newRow("redirects followed") << "hops" << 5 << "arrived" << 200 << 300 << 0;
        QTest::newRow("redirect loop") << "loop" << 5 << "" << 0 << 500 << 0;
        QTest::newRow("redirect to file:") << "tofile" << 5 << "" << 0 << 300 << 0;
        QTest::newRow("file: address") << "file" << 5 << "" << 0 << 300 << 0;
        QTest::newRow("body at the cap")
            << "atcap" << 5 << QString(MaxAnswerBytes, u'x') << 200 << 500 << 8;
        QTest::newRow("body over the cap") << "overcap" << 5 << "" << 0 << 300 << 8;
        QTest::newRow("endless body at full speed") << "flood" << 2 << "" << 0 << 500 << 8;
        QTest::newRow("gb2312 page") << "gbk" << 5 << "您的IP是:[1.2.3.4]" << 200 << 300 << 0;
        QTest::newRow("invalid bytes in declared GBK")
            << "badgbk" << 5 << QString::fromUtf8("电a\xEF\xBF\xBD z") << 200 << 300 << 0;
        QTest::newRow("invalid bytes in UTF-8")
            << "badutf8" << 5 << QString::fromUtf8("电信\xEF\xBF\xBD:1") << 200 << 300 << 0;
    }
    void faults() {
        QFETCH(QString, kind);
        QFETCH(int, limit);
        QFETCH(int, maxMs);
        QFETCH(int, maxGrowthMb);
        TestServer server;
        const std::string oneMegabyte(1 << 20, 'x');
        const std::map<QString, TestServer::Handler> handlers = {
            {"cut", server.cutOff("part of a bo", 100)},
            {"silent", server.silent()},
            {"trickle", server.trickle({"ab", "cd", "ef"}, 200)},
            {"drip", server.endless("x", 1000)},
            {"late", server.text("late", "text/plain", 200, 700)},
            {"404", server.text("<html>404 Not Found</html>", "text/html", 404)},
            {"500", server.text("<html>Server Error</html>", "text/html", 500)},
            {"empty", server.text("")},
            {"hops", server.redirect("/hop2")},
            {"loop", server.redirect("/page")},
            {"tofile", server.redirect("file:///etc/hostname")},
            {"atcap", server.text(std::string(MaxAnswerBytes, 'x'))},
            {"overcap", server.text(oneMegabyte)},
            {"flood", server.endless(std::string(64 * 1024, 'x'), 0)},
            {"gbk", server.text(GbkLookupPage, "text/html; charset=gb2312")},
            {"badgbk", server.text(GbkDian + "a\x81 z", "text/plain; charset=GBK")},
            {"badutf8", server.text("电信\xff:1", "text/plain")},
        };
        server.route("/hop2", server.redirect(server.url("/hop3").toStdString(), 301));
        server.route("/hop3", server.text("arrived"));
        QString url = server.url("/page");
        if (kind == "refused") {
            QTcpServer closed; // a port that was free a moment ago and listens no more
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            url = QStringLiteral("http://127.0.0.1:%1/page").arg(closed.serverPort());
            closed.close();
        } else if (kind == "file") {
            url = QStringLiteral("file:///etc/hostname");
        } else {
            server.route("/page", handlers.at(kind));
        }
        const qint64 before = memoryKb("VmRSS");
        resetPeakMemory();
        QElapsedTimer clock;
        clock.start();
        const FetchedText fetched = HttpFetchText(url, QString(), qint16(limit));
        const qint64 ms = clock.elapsed();
        const qint64 growthKb = memoryKb("VmHWM") - before;
        QTEST(fetched.text, "text");
        QTEST(fetched.status, "status");
        QVERIFY2(ms <= maxMs, qPrintable(QString::number(ms)));
        if (maxGrowthMb > 0)
            QVERIFY2(growthKb <= maxGrowthMb * 1024, qPrintable(QString::number(growthKb)));
        // The plain fetch gives the same text, whatever the status.
        if (kind == "404") QCOMPARE(HttpGetText(url, QString(), 5), fetched.text);
    }

    // The wait ends at the first moment after the limit, not before and not much later.
    void silenceEndsJustAfterLimit() {
        TestServer server;
        server.route("/ip2city.asp", server.silent());
        const Timed fetched = timedFetch(server.url("/ip2city.asp"), 1);
        QCOMPARE(fetched.text, QString());
        QVERIFY2(fetched.ms >= 1000 && fetched.ms < 1250, qPrintable(QString::number(fetched.ms)));
    }

    void limitInMilliseconds_data() {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("ms");
        QTest::newRow("0 means 30 s") << 0 << 30'000;
        QTest::newRow("1 s") << 1 << 1000;
        QTest::newRow("lookup") << 20 << 20'000;
        QTest::newRow("largest") << 32767 << 32'767'000;
        QTest::newRow("negative has passed") << -1 << 0;
    }
    void limitInMilliseconds() {
        QFETCH(int, limit);
        QTEST(fetchLimitMs(qint16(limit)), "ms");
    }

    // Limit 0 is a long wait, not none: an answer after 1.5 s is taken.
    void limitZeroWaits() {
        TestServer server;
        server.route("/page", server.text("slow", "text/plain", 200, 1500));
        QCOMPARE(HttpGetText(server.url("/page"), QString(), 0), QString("slow"));
    }

    void eventsHandledDuringWait() {
        TestServer server;
        server.route("/page", server.silent());
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        QCOMPARE(HttpGetText(server.url("/page"), QString(), 1), QString());
        QVERIFY2(ticks >= 15, qPrintable(QString::number(ticks)));
    }

    // A fetch started by another handler while one waits: both get their own answers.
    void nestedFetches_data() {
        QTest::addColumn<int>("outerDelay");
        QTest::addColumn<int>("innerDelay");
        QTest::newRow("inner answers first") << 600 << 100;
        // The outer answer arrives before its 1 s limit while the inner fetch still waits;
        // the outer call returns after the inner one, still with its answer.
        QTest::newRow("outer answers while inner waits") << 300 << 1300;
    }
    void nestedFetches() {
        QFETCH(int, outerDelay);
        QFETCH(int, innerDelay);
        TestServer server;
        server.route("/outer", server.text("outer", "text/plain", 200, outerDelay));
        server.route("/inner", server.text("inner", "text/plain", 200, innerDelay));
        QString inner = "not run";
        QTimer::singleShot(100, [&] { inner = HttpGetText(server.url("/inner"), QString(), 3); });
        QCOMPARE(HttpGetText(server.url("/outer"), QString(), 1), QString("outer"));
        QCOMPARE(inner, QString("inner"));
    }

    // An answer sent for ahead is taken once, by the first plain fetch of its address, if it
    // is fresh; any other fetch sends a GET of its own.
    void fetchesAhead_data() {
        QTest::addColumn<int>("answerDelay"); // before the page answers
        QTest::addColumn<int>("fetchAfter");  // from the GET sent ahead to the fetch
        QTest::addColumn<QString>("cookie");
        QTest::addColumn<bool>("aheadGone"); // the object has ended before the fetch
        QTest::addColumn<QStringList>("texts");   // of two fetches in a row
        QTest::addColumn<int>("hits");
        QTest::newRow("taken once") << 0 << 100 << "" << false << QStringList{"1", "2"} << 2;
        QTest::newRow("still on its way") << 300 << 0 << "" << false << QStringList{"1", "2"} << 2;
        QTest::newRow("stale, read again") << 0 << 400 << "" << false << QStringList{"2", "3"} << 3;
        QTest::newRow("with a cookie") << 0 << 100 << "c=1" << false << QStringList{"2", "3"} << 3;
        QTest::newRow("after its end") << 0 << 100 << "" << true << QStringList{"2", "3"} << 3;
    }
    void fetchesAhead() {
        QFETCH(int, answerDelay);
        QFETCH(int, fetchAfter);
        QFETCH(QString, cookie);
        QFETCH(bool, aheadGone);
        TestServer server;
        auto count = std::make_shared<std::atomic<int>>(0);
        server.route("/page", [=](const httplib::Request&, httplib::Response& response) {
            const int n = ++*count;
            if (n == 1) std::this_thread::sleep_for(std::chrono::milliseconds(answerDelay));
            response.set_content(std::to_string(n), "text/plain");
        });
        std::optional<FetchesAhead> ahead;
        ahead.emplace(QList<FetchesAhead::Fetch>{{server.url("/page"), 5}}, 250);
        QTest::qWait(fetchAfter);
        if (aheadGone) {
            QTRY_COMPARE(server.hits("/page"), 1);
            ahead.reset();
        }
        QStringList texts;
        for (int i = 0; i < 2; ++i)
            texts << HttpGetText(server.url("/page"), cookie, 5);
        QTEST(texts, "texts");
        QTEST(server.hits("/page"), "hits");
        // Sent ahead or not, a GET is the same plain one.
        for (const httplib::Headers& headers : server.requests("/page")) {
            QVERIFY(headers.count("If-Modified-Since") == 1);
            QCOMPARE(headers.find("If-Modified-Since")->second, std::string("0"));
        }
    }

    // Of objects that live at the same time the newest serves, also once the older has gone.
    void fetchesAheadOverlapping() {
        TestServer server;
        auto count = std::make_shared<std::atomic<int>>(0);
        server.route("/page", [=](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::to_string(++*count), "text/plain");
        });
        const QList<FetchesAhead::Fetch> page{{server.url("/page"), 5}};
        auto older = std::make_unique<FetchesAhead>(page);
        QTRY_COMPARE(server.hits("/page"), 1);
        const FetchesAhead newer(page);
        QTRY_COMPARE(server.hits("/page"), 2);
        older.reset();
        QCOMPARE(HttpGetText(server.url("/page"), QString(), 5), QString("2"));
        QCOMPARE(server.hits("/page"), 2);
    }

    void lookupUsesTheLookupPage() {
        TestServer server;
        server.route("/ip2city.asp", server.text("您的IP是:[61.2.3.4]", "text/html"));
        const LookupResult result = LookupPublicAddress(server.base());
        QCOMPARE(result.kind, LookupResult::Address);
        QCOMPARE(result.address, QString("61.2.3.4"));
    }
};

QTEST_GUILESS_MAIN(TestHttpGetText)
#include "tst_httpgettext.moc"

// The one network read: against real servers on 127.0.0.1 whose answers the test decides.
#include "testserver.h"
#include "web/httpgettext.h"
#include "web/publicaddress.h"

#include <QElapsedTimer>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

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

std::string gbk(const char* utf8) {
    const QByteArray bytes = QStringEncoder("GBK").encode(QString::fromUtf8(utf8));
    return bytes.toStdString();
}

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
            });
        });
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(listener.serverPort()).arg(path);
    }
};

} // namespace

class TestHttpGetText : public QObject {
    Q_OBJECT
private slots:
    // The request exactly as sent: one GET with "Cookie: " (empty) and "If-Modified-Since: 0",
    // and a cookie the server sets, even within the same fetch, never replaces the empty one.
    void sendsOnePlainGetWithEmptyCookie() {
        RequestRecorder server({"HTTP/1.1 302 Found\r\nSet-Cookie: session=abc; Path=/\r\n"
                                "Location: /b\r\nContent-Length: 0\r\n\r\n",
                                "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nB",
                                "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nB"});
        QCOMPARE(HttpGetText(server.url("/a"), QString(), 5), QString("B"));
        QCOMPARE(HttpGetText(server.url("/b"), QString(), 5), QString("B"));
        QCOMPARE(server.heads.size(), 3);
        for (const QByteArray& head : server.heads) {
            const QList<QByteArray> lines = head.split('\n');
            QVERIFY2(lines[0].startsWith("GET /"), head.constData());
            QCOMPARE(lines.count("Cookie: \r"), 1);
            QCOMPARE(lines.count("If-Modified-Since: 0\r"), 1);
            QVERIFY2(!head.contains("session"), head.constData());
        }
    }

    void answers_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("expected");
        QTest::newRow("404 page") << "404" << 5 << "<html>404 Not Found</html>";
        QTest::newRow("500 page") << "500" << 5 << "<html>Server Error</html>";
        QTest::newRow("empty body") << "empty" << 5 << "";
        QTest::newRow("gb2312 page") << "gbk" << 5 << "您的IP是:[1.2.3.4]";
        QTest::newRow("utf-8 without charset") << "utf8" << 5 << "电信一区:1;u#p";
        QTest::newRow("connection cut mid-body") << "cut" << 5 << "";
        QTest::newRow("trickle done within the limit") << "trickle" << 2 << "abcdef";
        QTest::newRow("trickle past the limit") << "slowtrickle" << 1 << "";
        QTest::newRow("late answer within the limit") << "late" << 1 << "late";
        QTest::newRow("nobody listening") << "refused" << 5 << "";
    }
    void answers() {
        QFETCH(QString, kind);
        QFETCH(int, limit);
        TestServer server;
        const std::map<QString, TestServer::Handler> handlers = {
            {"404", server.text("<html>404 Not Found</html>", "text/html", 404)},
            {"500", server.text("<html>Server Error</html>", "text/html", 500)},
            {"empty", server.text("")},
            {"gbk", server.text(gbk("您的IP是:[1.2.3.4]"), "text/html; charset=gb2312")},
            {"utf8", server.text("电信一区:1;u#p", "text/plain")},
            {"cut", server.cutOff("part of a bo", 100)},
            {"trickle", server.trickle({"ab", "cd", "ef"}, 200)},
            {"slowtrickle", server.trickle({"ab", "cd", "ef"}, 600)},
            {"late", server.text("late", "text/plain", 200, 700)},
        };
        QString url = server.url("/page");
        if (kind == "refused") {
            QTcpServer closed; // a port that was free a moment ago and listens no more
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            url = QStringLiteral("http://127.0.0.1:%1/page").arg(closed.serverPort());
            closed.close();
        } else {
            server.route("/page", handlers.at(kind));
        }
        const Timed fetched = timedFetch(url, qint16(limit));
        QTEST(fetched.text, "expected");
        QVERIFY2(fetched.ms <= limit * 1000 + 300, qPrintable(QString::number(fetched.ms)));
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

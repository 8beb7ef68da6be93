// The bulletin view: its bounds and the links it hands to the desktop.
#include "platform/boundedget.h"
#include "platform/bulletinview.h"
#include "testserver.h"

#include <QDesktopServices>
#include <QTest>

namespace {

// Stands in for the desktop's browser: records the addresses it is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

std::string nestedTables(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<TABLE border=1><tr><td>x";
        close += "</td></tr></table>";
    }
    return open + close;
}

const QStringList LinkSchemes = {"http", "https", "file", "javascript", "mailto"};

} // namespace

class TestBulletinView : public QObject {
    Q_OBJECT
private slots:
    // A load that fails or goes past a bound leaves the page shown as it was.
    void failedLoadKeepsThePage_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("limitMs");
        QTest::newRow("page over the cap") << "overcap" << 5000;
        QTest::newRow("page that never finishes") << "drip" << 500;
        QTest::newRow("redirect loop") << "loop" << 5000;
        QTest::newRow("connection cut mid-page") << "cut" << 5000;
        QTest::newRow("tables nested too deep") << "nested" << 5000;
    }
    void failedLoadKeepsThePage() {
        QFETCH(QString, kind);
        QFETCH(int, limitMs);
        TestServer server;
        server.route("/msg.htm", server.text("<p>公告</p>", "text/html; charset=utf-8"));
        const std::map<QString, TestServer::Handler> handlers = {
            {"overcap", server.text("<p>" + std::string(BulletinView::MaxPageBytes, 'x') + "</p>",
                                    "text/html")},
            {"drip", server.endless("<p>x</p>", 100)},
            {"loop", server.redirect("/bad.htm")},
            {"cut", server.cutOff("<p>half", 1000)},
            {"nested", server.text(nestedTables(20), "text/html")},
        };
        server.route("/bad.htm", handlers.at(kind));
        BulletinView view;
        view.Navigate(QUrl(server.url("/msg.htm")));
        QTRY_COMPARE(view.toPlainText(), QString("公告"));
        view.Navigate(QUrl(server.url("/bad.htm")), limitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!view.isLoading(), limitMs + 1000);
        QCOMPARE(view.toPlainText(), QString("公告"));
    }

    void tableWeight_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<qint64>("weight");
        QTest::newRow("outside tables: nothing") << "<p>公告</p>" << qint64(0);
        QTest::newRow("flat table") << "<p>x</p><table>ab</table><p>y</p>" << qint64(9);
        QTest::newRow("each level doubles") << "<table><TABLE>x</table></table>" << qint64(31);
        QTest::newRow("never closed") << "<table><table>" << qint64(21);
        QTest::newRow("stray closes") << "</table></table><table>" << qint64(7);
    }
    void tableWeight() {
        QFETCH(QString, html);
        QTEST(tableLayoutWeight(html), "weight");
    }

    // Links open in the desktop's browser against the page's address, http and https only.
    void links_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened"); // "" when nothing is opened; "~" = the site
        QTest::newRow("relative") << "/bbs/"
                                  << "~/bbs/";
        QTest::newRow("https") << "https://example.org/a"
                               << "https://example.org/a";
        QTest::newRow("javascript:") << "javascript:alert(1)"
                                     << "";
        QTest::newRow("file:") << "file:///etc/passwd"
                               << "";
    }
    void links() {
        QFETCH(QString, link);
        QFETCH(QString, opened);
        TestServer server;
        server.route("/msg.htm", server.text("<a href=\"/bbs/\">论坛</a>", "text/html"));
        BulletinView view;
        view.Navigate(QUrl(server.url("/msg.htm")));
        QTRY_VERIFY(!view.isLoading());
        UrlRecorder browser;
        for (const QString& scheme : LinkSchemes)
            QDesktopServices::setUrlHandler(scheme, &browser, "open");
        emit view.anchorClicked(QUrl(link));
        for (const QString& scheme : LinkSchemes)
            QDesktopServices::unsetUrlHandler(scheme);
        const QList<QUrl> expected = opened.isEmpty()
                                         ? QList<QUrl>()
                                         : QList<QUrl>{QUrl(opened.replace("~", server.base()))};
        QCOMPARE(browser.opened, expected);
    }
};

QTEST_MAIN(TestBulletinView)
#include "tst_bulletinview.moc"

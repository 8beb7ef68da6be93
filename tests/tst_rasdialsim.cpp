// rasdial's simulated link against the local maker site: the lookup page shows the exit
// address while the tunnel is up.
#include "connectorentry.h"
#include "platform/linux/phonebookfile.h"
#include "siteprocess.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Entry = QStringLiteral("MiravonVPN网络连接器");

// The local maker site on a free port.
struct Site : SiteProcess {
    explicit Site(int tunnelSeconds) : SiteProcess(QStringLiteral(MIRAVON_SITE), tunnelSeconds) {}
};

} // namespace

class TestRasdialSim : public QObject {
    Q_OBJECT

    QTemporaryDir home;

    // One entry, the connector's, for the given server.
    void writeBook(const QString& server) {
        phonebook::Book book;
        book.entries.append(connectorEntry(server, Entry));
        QVERIFY(phonebook::write(home.filePath("MiravonVPN/rasphone.pbk"), book));
    }

    int rasdial(const QString& site, const QStringList& args, QString* out = nullptr) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("RASDIAL_SIMULATOR"), site);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(RASDIAL), args);
        if (!process.waitForFinished(15000)) return -1;
        if (out) *out = QString::fromUtf8(process.readAllStandardOutput());
        return process.exitCode();
    }

private slots:
    void rightPasswordShowsTheExitAddressUntilHangUp() {
        Site site(60);
        QVERIFY(!site.base.isEmpty());
        writeBook(QStringLiteral("203.0.113.10"));
        QCOMPARE(site.address(), QByteArray("127.0.0.1"));
        QCOMPARE(rasdial(site.base, {Entry, "miravon", "mv2026"}), 0);
        QCOMPARE(site.address(), QByteArray("203.0.113.7"));
        QString listed;
        QCOMPARE(rasdial(site.base, {}, &listed), 0);
        QCOMPARE(listed, "Connected to\n" + Entry + "\nCommand completed successfully.\n");
        QCOMPARE(rasdial(site.base, {Entry, "/Disconnect"}), 0);
        QCOMPARE(site.address(), QByteArray("127.0.0.1"));
        QCOMPARE(rasdial(site.base, {Entry, "/Disconnect"}), 668 & 0xFF);
    }

    void markerAccountNeedsThePasswordOfItsPage() {
        Site site(60);
        writeBook(QStringLiteral("203.0.113.20"));
        const QByteArray page = site.get("/vpn/pass/cvpn.asp");
        const QByteArray password = page.left(page.indexOf("</b>")).right(4);
        QCOMPARE(password.size(), 4);
        QCOMPARE(rasdial(site.base, {Entry, "cvpn", QString::fromLatin1(password)}), 0);
        QCOMPARE(site.address(), QByteArray("203.0.113.7"));
    }

    void failedDialsLeaveTheAddress_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("code");
        QTest::newRow("wrong password") << "203.0.113.10"
                                        << "miravon"
                                        << "wrong" << 691;
        QTest::newRow("wrong account") << "203.0.113.10"
                                       << "other"
                                       << "mv2026" << 691;
        QTest::newRow("marker with the page address, not its password")
            << "203.0.113.20"
            << "cvpn"
            << "http://127.0.0.1:8660/vpn/pass/cvpn.asp" << 691;
        QTest::newRow("server not in the list") << "10.9.9.9"
                                                << "miravon"
                                                << "mv2026" << 800;
    }
    void failedDialsLeaveTheAddress() {
        QFETCH(QString, server);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, code);
        Site site(60);
        writeBook(server);
        QString out;
        QCOMPARE(rasdial(site.base, {Entry, user, password}, &out), code & 0xFF);
        QVERIFY2(out.contains(QStringLiteral("Remote Access error %1 - ").arg(code)),
                 qPrintable(out));
        QCOMPARE(site.address(), QByteArray("127.0.0.1"));
    }

    void siteDropsTheTunnelAfterItsTime() {
        Site site(1);
        writeBook(QStringLiteral("203.0.113.10"));
        QCOMPARE(rasdial(site.base, {Entry, "miravon", "mv2026"}), 0);
        QCOMPARE(site.address(), QByteArray("203.0.113.7"));
        QTest::qWait(1100);
        QCOMPARE(site.address(), QByteArray("127.0.0.1"));
    }

    void noSiteIsATunnelFailure() {
        writeBook(QStringLiteral("203.0.113.10"));
        QString out;
        // Port 1 on this machine: nothing listens there.
        QCOMPARE(rasdial(QStringLiteral("http://127.0.0.1:1"), {Entry, "miravon", "mv2026"}, &out),
                 800 & 0xFF);
        QCOMPARE(
            rasdial(QStringLiteral("http://127.0.0.1:1;id"), {Entry, "miravon", "mv2026"}, &out),
            800 & 0xFF);
    }
};

QTEST_GUILESS_MAIN(TestRasdialSim)
#include "tst_rasdialsim.moc"

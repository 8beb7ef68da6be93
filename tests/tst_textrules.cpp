// The pure rules that cut text: the lookup page's address, the server list, server data.
#include "web/publicaddress.h"
#include "web/serverdirectory.h"
#include "web/updatecheck.h"

#include <QTest>

Q_DECLARE_METATYPE(LookupResult::Kind)
Q_DECLARE_METATYPE(UpdateOutcome)

class TestTextRules : public QObject {
    Q_OBJECT
private slots:
    void bracketAddress_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<LookupResult::Kind>("kind");
        QTest::addColumn<QString>("address");
        QTest::newRow("empty page") << "" << LookupResult::NoAnswer << "";
        QTest::newRow("no bracket") << "<html>busy</html>" << LookupResult::NoAnswer << "";
        QTest::newRow("only ]") << "a]b" << LookupResult::NoAnswer << "";
        QTest::newRow("[ without ]") << "IP [1.2.3.4" << LookupResult::Malformed << "";
        QTest::newRow("] before [") << "x] [y" << LookupResult::Malformed << "";
        QTest::newRow("plain") << "您的IP是:[61.1.2.3] 来自:上海" << LookupResult::Address
                               << "61.1.2.3";
        QTest::newRow("nothing between") << "[]" << LookupResult::Malformed << "";
        QTest::newRow("two pairs")
            << "[1.1.1.1] and [2.2.2.2]" << LookupResult::Address << "1.1.1.1";
        QTest::newRow("blanks trimmed") << "[ 10.0.0.7\t]" << LookupResult::Address << "10.0.0.7";
        QTest::newRow("IPv6") << "[2001:db8::1]" << LookupResult::Address << "2001:db8::1";
        QTest::newRow("portal page comment")
            << "<!--[if lt IE 9]><script src=x.js></script><![endif]-->[1.2.3.4]"
            << LookupResult::Malformed << "";
        QTest::newRow("first ] after second [") << "[a[b]c]" << LookupResult::Malformed << "";
        QTest::newRow("short IPv4 form") << "[127.1]" << LookupResult::Malformed << "";
        QTest::newRow("part over 255") << "[1.2.3.256]" << LookupResult::Malformed << "";
        QTest::newRow("hex IPv4 part") << "[0x7f.0.0.1]" << LookupResult::Malformed << "";
        QTest::newRow("IPv6 scope name") << "[fe80::1%eth0]" << LookupResult::Malformed << "";
    }
    void bracketAddress() {
        QFETCH(QString, page);
        const LookupResult result = cutBracketAddress(page);
        QTEST(result.kind, "kind");
        QTEST(result.address, "address");
    }

    void serverList_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("reached");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("data");
        QTest::newRow("empty") << "" << false << QStringList() << QStringList();
        QTest::newRow("no colon") << "Service Unavailable\r\n"
                                  << false << QStringList() << QStringList();
        QTest::newRow("one line") << "A:1;u#p" << true << QStringList{"A"} << QStringList{"1;u#p"};
        QTest::newRow("final CR") << "A:1;u#p\r" << true << QStringList{"A"}
                                  << QStringList{"1;u#p"};
        QTest::newRow("CR LF") << "A:1;u#p\r\nB:2;v#q\r\n"
                               << true << QStringList{"A", "\nB"} << QStringList{"1;u#p", "2;v#q"};
        QTest::newRow("LF only is one line")
            << "A:1;u#p\nB:2;v#q\n"
            << true << QStringList{"A"} << QStringList{"1;u#p\nB:2;v#q\n"};
        QTest::newRow("empty second line ends the list")
            << "A:1;u#p\r\rB:2;v#q" << true << QStringList{"A"} << QStringList{"1;u#p"};
        QTest::newRow("leading colon, empty name")
            << ":1;u#p" << true << QStringList{""} << QStringList{"1;u#p"};
        QTest::newRow("further colons stay in the data")
            << "A:1;cvpn#http://h:81/p.asp" << true << QStringList{"A"}
            << QStringList{"1;cvpn#http://h:81/p.asp"};
        QTest::newRow("nothing trimmed")
            << " A : 1;u#p " << true << QStringList{" A "} << QStringList{" 1;u#p "};
        QTest::newRow("error page: first line without colon")
            << "<html>\r\n<a href=\"http://x\">404</a>" << true << QStringList() << QStringList();
        QStringList many, manyData;
        QString manyText;
        for (int i = 0; i <= MaxServers; ++i) {
            manyText += QStringLiteral("S%1:d\r").arg(i);
            many << QStringLiteral("S%1").arg(i);
            manyData << "d";
        }
        QTest::newRow("no more servers than the bound")
            << manyText << true << many.mid(0, MaxServers) << manyData.mid(0, MaxServers);
        const QString longest = "B:" + QString(MaxServerLineChars - 2, u'x');
        QTest::newRow("longest line kept, a longer one ends the list")
            << "A:1\r" + longest + "\rC:" + QString(MaxServerLineChars, u'y') + "\rD:4" << true
            << QStringList{"A", "B"} << QStringList{"1", longest.mid(2)};
        QTest::newRow("error page: junk servers")
            << "<html><a href=\"http://x\">\r\n</html>" << true
            << QStringList{"<html><a href=\"http"} << QStringList{"//x\">"};
    }
    void serverList() {
        QFETCH(QString, text);
        const ServerList list = parseServerList(text);
        QTEST(list.reached, "reached");
        QStringList names, data;
        for (const ServerEntry& server : list.servers) {
            names << server.name;
            data << server.data;
        }
        QTEST(names, "names");
        QTEST(data, "data");
    }

    void serverData_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("inFormat");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::newRow("one character each") << "a;b#c" << true << "a"
                                            << "b"
                                            << "c";
        QTest::newRow("empty password") << "1.2.3.4;u#" << true << "1.2.3.4"
                                        << "u"
                                        << "";
        QTest::newRow("empty address") << ";u#p" << true << ""
                                       << "u"
                                       << "p";
        QTest::newRow("empty account") << "h;#p" << true << "h"
                                       << ""
                                       << "p";
        QTest::newRow("page address keeps its #") << "h;cvpn#http://x/p.asp#top" << true << "h"
                                                  << "cvpn"
                                                  << "http://x/p.asp#top";
        QTest::newRow("second ; in account") << "h;a;b#p" << true << "h"
                                             << "a;b"
                                             << "p";
        QTest::newRow("no ;") << "h#p" << false << ""
                              << ""
                              << "";
        QTest::newRow("no #") << "h;u" << false << ""
                              << ""
                              << "";
        QTest::newRow("# before ;") << "h#u;p" << false << ""
                                    << ""
                                    << "";
        QTest::newRow("empty") << "" << false << ""
                               << ""
                               << "";
    }
    void serverData() {
        QFETCH(QString, data);
        QFETCH(bool, inFormat);
        const auto server = cutServerData(data);
        QCOMPARE(server.has_value(), inFormat);
        if (!server) return;
        QTEST(server->address, "address");
        QTEST(server->account, "account");
        QTEST(server->password, "password");
    }

    void displayedName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "电信一区"
                               << "电信一区";
        QTest::newRow("leading line feed") << "\n网通二区"
                                           << "网通二区";
        QTest::newRow("only the first") << "\n\nx"
                                        << "\nx";
        QTest::newRow("inner line feed stays") << "a\nb"
                                               << "a\nb";
    }
    void displayedName() {
        QFETCH(QString, name);
        QTEST(displayedServerName(name), "shown");
    }

    void versions_data() {
        QTest::addColumn<QString>("published");
        QTest::addColumn<UpdateOutcome>("outcome");
        QTest::newRow("equal") << "2.1" << UpdateOutcome::Current;
        QTest::newRow("empty") << "" << UpdateOutcome::Unreachable;
        QTest::newRow("newer") << "2.2" << UpdateOutcome::Outdated;
        QTest::newRow("older") << "1.9" << UpdateOutcome::Outdated;
        QTest::newRow("trailing line break") << "2.1\r\n" << UpdateOutcome::Outdated;
        QTest::newRow("with revision") << "2.1.0" << UpdateOutcome::Outdated;
    }
    void versions() {
        QFETCH(QString, published);
        QTEST(compareVersions(published, runningVersionText(2, 1)), "outcome");
    }
};

QTEST_APPLESS_MAIN(TestTextRules)
#include "tst_textrules.moc"

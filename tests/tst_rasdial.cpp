// The dial tool's rules: its command line, the server check, link names, pppd's options, and
// the request its privileged part reads.
// GLib before Qt, whose "signals" keyword its headers use as a name.
#include "libnm.h"

#include "arguments.h"
#include "connectorentry.h"
#include "entryrequest.h"
#include "linkrequest.h"
#include "nmprofile.h"
#include "pathchoice.h"
#include "passwordinput.h"
#include "pppdoptions.h"
#include "rasdialerrors.h"

#include <QTest>

#include <unistd.h>

using namespace rasdial;

Q_DECLARE_METATYPE(rasdial::Action)

namespace {

std::vector<std::string> words(const QStringList& list) {
    std::vector<std::string> out;
    for (const QString& word : list)
        out.push_back(word.toStdString());
    return out;
}

QStringList strings(const std::vector<std::string>& list) {
    QStringList out;
    for (const std::string& word : list)
        out << QString::fromStdString(word);
    return out;
}

} // namespace

class TestRasdial : public QObject {
    Q_OBJECT
private slots:
    void arguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<rasdial::Action>("action");
        QTest::addColumn<QStringList>("values"); // entry, user, password
        QTest::addColumn<QList<int>>("credentialsAt");
        const auto row = [](const char* name, const QStringList& args, Action action,
                            const QStringList& values, const QList<int>& at) {
            QTest::newRow(name) << args << action << values << at;
        };
        const QStringList none{"", "", ""};
        const QString pw255(255, u'p'), pw256(256, u'p');
        row("list", {}, Action::List, none, {});
        row("dial", {"E", "u", "p"}, Action::Dial, {"E", "u", "p"}, {1, 2});
        row("entry only", {"E"}, Action::Dial, {"E", "", ""}, {});
        row("no password", {"E", "u"}, Action::Dial, {"E", "u", ""}, {1});
        row("hang up", {"E", "/Disconnect"}, Action::HangUp, {"E", "", ""}, {});
        row("/d before the entry", {"/d", "E"}, Action::HangUp, {"E", "", ""}, {});
        row("hang up needs an entry", {"/DISCONNECT"}, Action::Usage, none, {});
        row("hang up takes nothing else", {"E", "u", "/d"}, Action::Usage, none, {1});
        row("a password may start with a slash", {"E", "u", "/secret"}, Action::Dial,
            {"E", "u", "/secret"}, {1, 2});
        row("unsupported switch", {"E", "/phone:123", "u", "p"}, Action::Usage, none, {2, 3});
        row("blank inside a value splits it", {"E", "my", "user", "p"}, Action::Usage, none,
            {1, 2, 3});
        row("longest password", {"E", "u", pw255}, Action::Dial, {"E", "u", pw255}, {1, 2});
        row("password too long", {"E", "u", pw256}, Action::Usage, none, {1, 2});
        row("entry name too long", {QString(257, u'e')}, Action::Usage, none, {});
        row("too many arguments", QStringList(9, "x"), Action::Usage, none,
            {1, 2, 3, 4, 5, 6, 7, 8});
    }
    void arguments() {
        QFETCH(QStringList, args);
        const Command command = parseArguments(words(args));
        QTEST(command.action, "action");
        QTEST((QStringList{QString::fromStdString(command.entry),
                           QString::fromStdString(command.user),
                           QString::fromStdString(std::string(command.password.view()))}),
              "values");
        QCOMPARE(command.problem.empty(), command.action != Action::Usage);
        const std::vector<int> at = credentialPositions(words(args));
        QTEST(QList<int>(at.begin(), at.end()), "credentialsAt");
    }

    void server_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("address") << "10.0.0.1" << true;
        QTest::newRow("host name") << "vpn-1.example.com" << true;
        QTest::newRow("single label") << "vpnhost" << true;
        QTest::newRow("command after ;") << "1.2.3.4; touch /tmp/x" << false;
        QTest::newRow("option") << "--opt" << false;
        QTest::newRow("leading hyphen label") << "-x.example.com" << false;
        QTest::newRow("trailing hyphen label") << "x-.example.com" << false;
        QTest::newRow("blank") << "vpn example" << false;
        QTest::newRow("quote") << "vpn\"x" << false;
        QTest::newRow("newline") << "vpn\nid" << false;
        QTest::newRow("substitution") << "$(id)" << false;
        QTest::newRow("mangled address") << "1.2.3" << false;
        QTest::newRow("address out of range") << "1.2.3.256" << false;
        QTest::newRow("IPv6") << "::1" << false;
        QTest::newRow("empty label") << "vpn..com" << false;
        QTest::newRow("label of 64") << QString(64, u'a') + ".com" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("Chinese") << "网通.com" << false;
    }
    void server() {
        QFETCH(QString, server);
        QTEST(isHostOrAddress(server.toStdString()), "accepted");
    }

    void linkNames_data() {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("link"); // the hashes computed by sha256sum
        QTest::newRow("abc")
            << 1000u << "abc"
            << "rasdial-1000-ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
        QTest::newRow("empty, root")
            << 0u << ""
            << "rasdial-0-e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
        QTest::newRow("the connector's entry")
            << 4294967295u << "MiravonVPN网络连接器"
            << "rasdial-4294967295-"
               "cd5ebd7ed3741fe3a699e4d866390ac792ebda2dd213818da67380983b2ef286";
        QTest::newRow("256 bytes, five blocks")
            << 1001u << QString(85, u'网') + 'x'
            << "rasdial-1001-913461b03e51db2046b6a6c04148137f87359d85937c24b9dbfd47fcd1904183";
    }
    void linkNames() {
        QFETCH(uint, owner);
        QFETCH(QString, entry);
        QTEST(QString::fromStdString(linkName(owner, entry.toStdString())), "link");
    }

    void pppdSecrets_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("file");
        const QByteArray pty =
            "pty \"\\057p\\040203\\0560\\056113\\05610\\040\\055\\055nolaunchpppd\"\n";
        QTest::newRow("plain") << "miravon"
                               << "mv2026" << pty + "user \"miravon\"\npassword \"mv2026\"\n";
        QTest::newRow("quotes, backslash, blank, hash, line end, Chinese")
            << "a b"
            << "q\"\\ #\n密"
            << pty + "user \"a\\040b\"\npassword \"q\\042\\134\\040\\043\\012密\"\n";
        QTest::newRow("empty") << ""
                               << "" << pty + "user \"\"\npassword \"\"\n";
    }
    void pppdSecrets() {
        LinkRequest request;
        request.server = "203.0.113.10";
        QFETCH(QString, user);
        QFETCH(QString, password);
        request.user = user.toStdString();
        request.password = password.toStdString();
        QCOMPARE(request.password.view(), password.toStdString());
        QTEST(QByteArray::fromStdString(rasdial::pppdSecrets(request, "/p")), "file");
    }

    void pppdOptions_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<int>("encryption");
        QTest::addColumn<int>("redialCount");
        QTest::addColumn<QString>("options2");
        QTest::addColumn<QStringList>("expected"); // after the fixed first options
        QTest::newRow("connector's entry") << "0x3D0D0310" << 3 << 3 << "0x0000016F"
                                           << QStringList{"require-mppe",
                                                          "refuse-pap",
                                                          "refuse-chap",
                                                          "nobsdcomp",
                                                          "nodeflate",
                                                          "defaultroute",
                                                          "replacedefaultroute",
                                                          "usepeerdns",
                                                          "noipv6",
                                                          "lcp-echo-interval",
                                                          "30",
                                                          "lcp-echo-failure",
                                                          "5",
                                                          "noipdefault",
                                                          "child-timeout",
                                                          "1"};
        QTest::newRow("own default route, no redials, no encryption, MS-CHAP v2 only")
            << "0x20000000" << 0 << 0 << "0x00000000" << QStringList{"nomppe",
                                                                     "refuse-pap",
                                                                     "refuse-chap",
                                                                     "refuse-mschap",
                                                                     "nobsdcomp",
                                                                     "nodeflate",
                                                                     "usepeerdns",
                                                                     "noipv6",
                                                                     "lcp-echo-interval",
                                                                     "30",
                                                                     "lcp-echo-failure",
                                                                     "5",
                                                                     "noipdefault",
                                                                     "child-timeout",
                                                                     "1"};
        QTest::newRow("no protocol named allows all; strongest encryption; a drop stays down")
            << "0x00000000" << 2 << 0 << "0x00000100"
            << QStringList{"require-mppe-128",
                           "refuse-pap",
                           "refuse-chap",
                           "nobsdcomp",
                           "nodeflate",
                           "usepeerdns",
                           "noipv6",
                           "lcp-echo-interval",
                           "30",
                           "lcp-echo-failure",
                           "5",
                           "noipdefault",
                           "child-timeout",
                           "1"};
        QTest::newRow("PAP and CHAP only, unencrypted")
            << "0x08040000" << 0 << 0 << "0x00000000" << QStringList{"nomppe",
                                                                     "refuse-mschap",
                                                                     "refuse-mschap-v2",
                                                                     "nobsdcomp",
                                                                     "nodeflate",
                                                                     "usepeerdns",
                                                                     "noipv6",
                                                                     "lcp-echo-interval",
                                                                     "30",
                                                                     "lcp-echo-failure",
                                                                     "5",
                                                                     "noipdefault",
                                                                     "child-timeout",
                                                                     "1"};
    }
    void pppdOptions() {
        QFETCH(QString, options);
        QFETCH(int, encryption);
        QFETCH(int, redialCount);
        QFETCH(QString, options2);
        phonebook::Entry entry = connectorEntry(QStringLiteral("vpn.example.com"));
        entry.set(QStringLiteral("dwfOptions"), options);
        entry.set(QStringLiteral("dwEncryptionType"), QString::number(encryption));
        entry.set(QStringLiteral("dwRedialCount"), QString::number(redialCount));
        entry.set(QStringLiteral("dwfOptions2"), options2);
        auto request = dialRequest(entry, "user name", "hunter7x");
        QVERIFY(request);
        request->owner = 1000;
        const QStringList args = strings(pppdArguments(*request, "/run/miravon-vpn/x.secrets"));
        const QStringList fixed{"file",      "/run/miravon-vpn/x.secrets",
                                "linkname",  QString::fromStdString(linkName(1000, request->entry)),
                                "ipparam",   "rasdial",
                                "updetach",  "noauth",
                                "refuse-eap"};
        QCOMPARE(args.mid(0, fixed.size()), fixed);
        QTEST(args.mid(fixed.size()), "expected");
        QVERIFY(!args.join(u' ').contains(QLatin1String("hunter7x")));
        QVERIFY(!args.join(u' ').contains(QLatin1String("user name")));
        QVERIFY(!args.join(u' ').contains(QLatin1String("vpn.example.com")));
    }

    void pppdOutcome_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("code");
        QTest::newRow("up") << 0 << "CHAP authentication succeeded\n" << 0;
        QTest::newRow("refused") << 19 << "CHAP authentication failed\n" << 691;
        QTest::newRow("refused, then the server closed the call")
            << 16 << "Connect: ppp0 <--> /dev/pts/0\nMS-CHAP authentication failed: E=691\n"
            << 691;
        QTest::newRow("PAP refused, last line without end")
            << 16 << "PAP authentication failed" << 691;
        QTest::newRow("the peer failing is not ours") << 16 << "PAP peer authentication failed\n"
                                                      << 800;
        QTest::newRow("the words inside a line") << 16 << "x CHAP authentication failed\n" << 800;
        QTest::newRow("closed without a word") << 16 << "Modem hangup\n" << 800;
        QTest::newRow("hung up while dialling") << 5 << "" << 631;
    }
    void pppdOutcome() {
        QFETCH(int, status);
        QFETCH(QString, output);
        QTEST(codeForPppdExit(status, output.toStdString()), "code");
    }

    // NetworkManager's PPTP plugin is given the link the helper gives pppd.
    void networkManagerProfile_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<int>("encryption");
        QTest::addColumn<QStringList>("expected"); // after gateway, user and password-flags
        QTest::addColumn<bool>("defaultRoute");
        const QStringList tail{"nobsdcomp=yes", "nodeflate=yes", "lcp-echo-interval=30",
                               "lcp-echo-failure=5"};
        QTest::newRow("connector's entry")
            << "0x3D0D0310" << 3
            << QStringList{"require-mppe=yes", "refuse-eap=yes", "refuse-pap=yes",
                           "refuse-chap=yes"} + tail
            << true;
        QTest::newRow("own default route, no encryption, MS-CHAP v2 only")
            << "0x20000000" << 0
            << QStringList{"refuse-eap=yes", "refuse-pap=yes", "refuse-chap=yes",
                           "refuse-mschap=yes"} + tail
            << false;
        QTest::newRow("strongest encryption")
            << "0x00000000" << 2
            << QStringList{"require-mppe-128=yes", "refuse-eap=yes", "refuse-pap=yes",
                           "refuse-chap=yes"} + tail
            << false;
        QTest::newRow("PAP and CHAP only, unencrypted")
            << "0x08040000" << 0
            << QStringList{"refuse-eap=yes", "refuse-mschap=yes", "refuse-mschapv2=yes"} + tail
            << false;
    }
    void networkManagerProfile() {
        QFETCH(QString, options);
        QFETCH(int, encryption);
        QFETCH(bool, defaultRoute);
        phonebook::Entry entry = connectorEntry(QStringLiteral("vpn.example.com"));
        entry.set(QStringLiteral("dwfOptions"), options);
        entry.set(QStringLiteral("dwEncryptionType"), QString::number(encryption));
        auto request = dialRequest(entry, "user name", "hunter7x");
        QVERIFY(request);
        const nm::Profile profile = nm::profileFor(*request, "203.0.113.10");
        QStringList data;
        for (const auto& [key, value] : profile.vpnData)
            data << QString::fromStdString(key + '=' + value);
        // The address the tool resolved and knocked at; the password only through the agent.
        QCOMPARE(data.mid(0, 3),
                 (QStringList{"gateway=203.0.113.10", "user=user name", "password-flags=2"}));
        QTEST(data.mid(3), "expected");
        QVERIFY(!data.join(u' ').contains(QLatin1String("hunter7x")));
        QCOMPARE(profile.neverDefault, !defaultRoute);
        // The tunnel's name servers alone, and no IPv6 around it, only with its default route.
        QCOMPARE(profile.dnsPriority < 0, defaultRoute);
        QStringList blocked;
        for (const Ipv6Prefix& prefix : profile.blockedIpv6)
            blocked << QStringLiteral("%1/%2")
                           .arg(QString::fromStdString(prefix.address))
                           .arg(prefix.length);
        QCOMPARE(blocked, defaultRoute ? (QStringList{"::/1", "8000::/1"}) : QStringList());

        // As NetworkManager takes it: valid by libnm's own rules, the user's alone, tagged.
        auto& owned = *request;
        owned.owner = 1000;
        NMConnection* connection = nm::newConnection(owned, profile, "someone");
        GError* error = nullptr;
        QVERIFY2(nm_connection_verify(connection, &error), error ? error->message : "");
        NMSettingConnection* general = nm_connection_get_setting_connection(connection);
        QVERIFY(!nm_setting_connection_get_autoconnect(general));
        QVERIFY(nm_setting_connection_permissions_user_allowed(general, "someone"));
        QVERIFY(!nm_setting_connection_permissions_user_allowed(general, "other"));
        auto* tags = NM_SETTING_USER(nm_connection_get_setting(connection, NM_TYPE_SETTING_USER));
        QCOMPARE(nm_setting_user_get_data(tags, nm::EntryKey), request->entry.c_str());
        QCOMPARE(nm_setting_user_get_data(tags, nm::OwnerKey), "1000");
        NMSettingVpn* vpn = nm_connection_get_setting_vpn(connection);
        QVERIFY(!nm_setting_vpn_get_secret(vpn, "password"));
        QCOMPARE(nm_setting_ip_config_get_num_routes(nm_connection_get_setting_ip6_config(connection)),
                 guint(blocked.size()));
        g_object_unref(connection);
    }

    void pathChoice_data() {
        QTest::addColumn<QString>("via");
        QTest::addColumn<int>("offer"); // -1 no bus; else bits: running, plugin, primary, session
        QTest::addColumn<QString>("path"); // "nm", "helper" or "refused"
        QTest::addColumn<QString>("reason");
        QTest::newRow("NetworkManager owns the network") << "" << 15 << "nm" << "owns the network";
        QTest::newRow("no system bus") << "" << -1 << "helper" << "system bus";
        QTest::newRow("NetworkManager does not run") << "" << 14 << "helper" << "does not run";
        QTest::newRow("no PPTP plugin") << "" << 13 << "helper" << "network-manager-pptp";
        QTest::newRow("no primary connection") << "" << 11 << "helper" << "primary connection";
        QTest::newRow("no login session") << "" << 7 << "helper" << "login session";
        QTest::newRow("helper asked for") << "helper" << 15 << "helper" << "RASDIAL_VIA=helper";
        QTest::newRow("NetworkManager asked for")
            << "networkmanager" << 15 << "nm" << "RASDIAL_VIA=networkmanager";
        QTest::newRow("NetworkManager asked for, cannot dial")
            << "networkmanager" << 13 << "refused" << "network-manager-pptp";
    }
    void pathChoice() {
        QFETCH(QString, via);
        QFETCH(int, offer);
        const auto parsed = parseVia(via.toUtf8().constData());
        QVERIFY(parsed);
        std::optional<nm::Availability> availability;
        if (offer >= 0)
            availability = nm::Availability{bool(offer & 1), bool(offer & 2), bool(offer & 4),
                                            bool(offer & 8)};
        const PathChoice choice = choosePath(*parsed, availability);
        QTEST(QString(choice.refused ? "refused" : choice.networkManager ? "nm" : "helper"), "path");
        QFETCH(QString, reason);
        QVERIFY2(QString::fromStdString(choice.reason).contains(reason), choice.reason.c_str());
        QVERIFY(!parseVia("NetworkManager"));
    }

    void passwordLine_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("closed");      // the writer has gone: end of input
        QTest::addColumn<QString>("password"); // "!" + the problem when refused
        QTest::newRow("a line") << QByteArray("pa ss\nrest") << false << "pa ss";
        QTest::newRow("Windows line end") << QByteArray("secret\r\n") << false << "secret";
        QTest::newRow("no line end, input closed") << QByteArray("/d:x") << true << "/d:x";
        QTest::newRow("nothing, input closed") << QByteArray() << true << "";
        QTest::newRow("longest") << QByteArray(255, 'p') + '\n' << false << QString(255, 'p');
        QTest::newRow("too long") << QByteArray(256, 'p') << false << "!the password is too long";
        QTest::newRow("no line end, writer waits")
            << QByteArray("secret") << false << "!no password on standard input within 0 s";
    }
    void passwordLine() {
        QFETCH(QByteArray, input);
        int fds[2];
        QCOMPARE(pipe(fds), 0);
        QCOMPARE(write(fds[1], input.constData(), std::size_t(input.size())),
                 ssize_t(input.size()));
        QFETCH(bool, closed);
        if (closed) close(fds[1]);
        std::string problem;
        Password password;
        const bool read = readPasswordLine(fds[0], &password, 300, &problem);
        close(fds[0]);
        if (!closed) close(fds[1]);
        QTEST(read ? QString::fromStdString(std::string(password.view()))
                   : "!" + QString::fromStdString(problem),
              "password");
        QVERIFY(read || password.empty());
    }

    void entryFields_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // empty: the key is removed
        QTest::addColumn<bool>("accepted");
        QTest::newRow("as written") << "dwSize"
                                    << "2884" << true;
        QTest::newRow("no server") << "szLocalPhoneNumber"
                                   << "" << false;
        QTest::newRow("server with a command") << "szLocalPhoneNumber"
                                               << "1.2.3.4;id" << false;
        QTest::newRow("options not hex") << "dwfOptions"
                                         << "1024" << false;
        QTest::newRow("count not a number") << "dwRedialCount"
                                            << "3x" << false;
        QTest::newRow("count out of range") << "dwRedialCount"
                                            << "1000" << false;
        QTest::newRow("not IP") << "dwfNetProtocols"
                                << "0x00000008" << false;
        QTest::newRow("not VPN") << "dwType"
                                 << "1" << false;
        QTest::newRow("no encryption type") << "dwEncryptionType"
                                            << "" << false;
    }
    void entryFields() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        phonebook::Entry entry = connectorEntry(QStringLiteral("10.0.0.1"));
        if (value.isEmpty())
            entry.values.removeIf([&](const auto& pair) { return pair.first == key; });
        else
            entry.set(key, value);
        const auto request = dialRequest(entry, "u", "p");
        QTEST(request.has_value(), "accepted");
        if (!request) return;
        // What the privileged part reads is what was sent.
        const std::string text = serializeRequest(*request);
        const auto back = parseRequest(text.data(), text.size());
        QVERIFY(back);
        QCOMPARE(back->server, std::string("10.0.0.1"));
        QCOMPARE(back->options, 0x3D0D0310u);
        QCOMPARE(back->options2, 0x16Fu);
        QCOMPARE(back->redialPause, 60u);
        QCOMPARE(back->entry, request->entry);
        QCOMPARE(back->password.view(), std::string_view("p"));
    }

    void requestEscapes() {
        LinkRequest request;
        request.action = RequestAction::HangUp;
        request.entry = "a=b \\ c";
        const std::string text = serializeRequest(request);
        const auto back = parseRequest(text.data(), text.size());
        QVERIFY(back);
        QCOMPARE(back->action, RequestAction::HangUp);
        QCOMPARE(back->entry, request.entry);
        LinkRequest dial = *dialRequest(connectorEntry("10.0.0.1"), "u", "line\nbreak\\ \t");
        const std::string dialText = serializeRequest(dial);
        QCOMPARE(std::count(dialText.begin(), dialText.end(), '\n'), 13); // one line per field
        QVERIFY(parseRequest(dialText.data(), dialText.size())->password == dial.password);
    }

    void utf8Credentials_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("ASCII") << QByteArray("miravon") << true;
        QTest::newRow("Chinese") << QByteArray("\xe7\xbd\x91\xe7\xbb\x9c") << true;
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x94\x91") << true;
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9") << false;
        QTest::newRow("cut short") << QByteArray("\xe7\xbd") << false;
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
        QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
    }
    void utf8Credentials() {
        QFETCH(QByteArray, text);
        QFETCH(bool, utf8);
        const std::string bytes = text.toStdString();
        QCOMPARE(isUtf8(bytes), utf8);
        // Refused alike on both paths: the user's side and the privileged part read the same
        // checks (NetworkManager received "[Invalid UTF-8]" where it was not).
        for (const bool asUser : {true, false}) {
            const auto request = dialRequest(connectorEntry(QStringLiteral("10.0.0.1")),
                                             asUser ? bytes : "u", asUser ? "p" : bytes);
            QCOMPARE(request.has_value(), utf8);
            LinkRequest raw = *dialRequest(connectorEntry(QStringLiteral("10.0.0.1")), "u", "p");
            if (asUser)
                raw.user = bytes;
            else
                raw.password = bytes;
            const std::string sent = serializeRequest(raw);
            std::string why;
            QCOMPARE(parseRequest(sent.data(), sent.size(), &why).has_value(), utf8);
            if (!utf8) QVERIFY2(why.find("UTF-8") != std::string::npos, why.c_str());
        }
    }

    void exitStatus() {
        QCOMPARE(rasdial::exitStatus(CannotFindEntry), 111); // 623 in 8 bits
        QVERIFY(QString::fromStdString(errorLine(AuthenticationFailed))
                    .startsWith(QLatin1String("Remote Access error 691 - ")));
    }
};

QTEST_GUILESS_MAIN(TestRasdial)
#include "tst_rasdial.moc"

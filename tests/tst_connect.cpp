// "连接": the phonebook entry, the dial command and the connect check switched on.
#include "connector.h"
#include "desktopplatform.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString Dialling = QStringLiteral("正在连接,请稍候.......... ");
const QString EntryFailed = QStringLiteral("建立连接失败,系统可能不兼容. ");
const QString PageFailed = QStringLiteral("连接服务器失败,请稍候再试...");
const QString Incomplete = QStringLiteral("自定义服务器信息不完整,连接失败 ...");

} // namespace

class TestConnect : public QObject {
    Q_OBJECT
private slots:
    void listedServer_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("page");    // what "/pass.asp" answers
        QTest::addColumn<bool>("writable");   // the phonebook can be written
        QTest::addColumn<QString>("address"); // the entry's phone number; empty: none written
        QTest::addColumn<QString>("command"); // the dial started; empty: none
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("connectOn"); // "连接" usable afterwards
        const QString page = Connector::passwordPage("cvpn", "K7p2");
        QTest::newRow("plain account")
            << 0 << page << true << "10.0.0.1"
            << "rasdial MiravonVPN网络连接器 mira pw01" << QStringList{Dialling} << false;
        QTest::newRow("marker: password from its page")
            << 1 << page << true << "10.0.0.2"
            << "rasdial MiravonVPN网络连接器 cvpn K7p2" << QStringList{Dialling} << false;
        QTest::newRow("marker absent from the page: from its 88th character")
            << 2 << page << true << "10.0.0.3"
            << "rasdial MiravonVPN网络连接器 uvpn ...." << QStringList{Dialling} << false;
        QTest::newRow("page too short: empty password, still dialled")
            << 1 << "cvpn" << true << "10.0.0.2"
            << "rasdial MiravonVPN网络连接器 cvpn " << QStringList{Dialling} << false;
        QTest::newRow("page gives nothing") << 1 << "" << true << ""
                                            << "" << QStringList{PageFailed} << true;
        QTest::newRow("phonebook not written") << 0 << page << false << ""
                                               << "" << QStringList{EntryFailed} << false;
    }
    void listedServer() {
        QFETCH(int, row);
        QFETCH(QString, page);
        QFETCH(bool, writable);
        QFETCH(QString, address);
        QFETCH(QString, command);
        Connector c;
        c.site.server.route("/pass.asp", c.site.server.text(page.toStdString()));
        c.platform.phonebookWritable = writable;
        c.choose(row);
        QTest::mouseClick(c.child<QPushButton>("Command1"), Qt::LeftButton);

        QTEST(c.newLines(), "lines");
        QTEST(c.child("Command1")->isEnabled(), "connectOn");
        QVERIFY(c.child<QAction>("M_link")->isEnabled());
        QCOMPARE(c.child<QTimer>("Timer1")->isActive(), !command.isEmpty());
        QCOMPARE(c.commandLines(), command.isEmpty() ? QStringList() : QStringList{command});
        if (!command.isEmpty()) QCOMPARE(c.platform.launched[0].showState, 0);
        QCOMPARE(c.platform.entriesWritten.size(), address.isEmpty() ? 0 : 1);
        if (!address.isEmpty()) {
            QCOMPARE(c.platform.entriesWritten[0].entryName, QString("MiravonVPN网络连接器"));
            QCOMPARE(c.platform.entriesWritten[0].bytes.mid(27, address.size() + 1),
                     address.toLatin1().append('\0'));
            QCOMPARE(c.platform.credentialsWritten.size(), 1);
        }
    }

    // A page sent with an error status holds no password, even one that looks like it.
    void errorPageGivesNoPassword() {
        Connector c;
        const std::string page = Connector::passwordPage("cvpn", "K7p2").toStdString();
        c.site.server.route("/pass.asp", c.site.server.text(page, "text/html", 404));
        c.choose(1);
        QTest::mouseClick(c.child<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(c.newLines(), QStringList{PageFailed});
        QVERIFY(c.commandLines().isEmpty());
        QVERIFY(c.child("Command1")->isEnabled());
    }

    // Each connect on a marker server fetches the page its line names, also the second one
    // (after a failure, a disconnect or the pause) when the server was not chosen again.
    void markerServerTwice() {
        Connector c;
        c.choose(1);
        c.window.Command1_Click();
        c.site.server.route(
            "/pass.asp", c.site.server.text(Connector::passwordPage("cvpn", "N3w4").toStdString()));
        c.child<QAction>("M_link")->trigger(); // the menu item runs the command while dialling
        QCOMPARE(c.site.server.hits("/pass.asp"), 2);
        QCOMPARE(c.commandLines(), (QStringList{"rasdial MiravonVPN网络连接器 cvpn K7p2",
                                                "rasdial MiravonVPN网络连接器 cvpn N3w4"}));
        QCOMPARE(c.window.state().CvpnPassword, QString("N3w4"));
        QCOMPARE(c.window.state().ServerPassword, QString("N3w4"));
    }

    void privateServer_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("command");
        QTest::newRow("complete") << "me"
                                  << "secret"
                                  << "10.0.0.9"
                                  << "rasdial MiravonVPN网络连接器 me secret";
        QTest::newRow("blanks count as filled in") << " "
                                                   << " "
                                                   << " "
                                                   << "rasdial MiravonVPN网络连接器    ";
        QTest::newRow("no password") << "me"
                                     << ""
                                     << "10.0.0.9"
                                     << "";
        QTest::newRow("no address") << "me"
                                    << "secret"
                                    << ""
                                    << "";
    }
    void privateServer() {
        QFETCH(QString, account);
        QFETCH(QString, password);
        QFETCH(QString, address);
        QFETCH(QString, command);
        Connector c;
        c.child<QComboBox>("Combo1")->setCurrentIndex(1);
        QTest::keyClicks(c.child<QLineEdit>("Text1"), account);
        QTest::keyClicks(c.child<QLineEdit>("Text2"), password);
        QTest::keyClicks(c.child<QLineEdit>("Text3"), address);
        c.window.Command1_Click();
        QCOMPARE(c.newLines(), QStringList{command.isEmpty() ? Incomplete : Dialling});
        QCOMPARE(c.commandLines(), command.isEmpty() ? QStringList() : QStringList{command});
        QCOMPARE(c.platform.entriesWritten.size(), command.isEmpty() ? 0 : 1);
        QVERIFY(!c.child("Command1")->isEnabled());
        QCOMPARE(c.child<QTimer>("Timer1")->isActive(), !command.isEmpty());
    }

    // The dial tool is started as one process with exactly the arguments the line splits
    // into: whatever the server line and the password page carry, no shell ever reads it.
    void dialToolArguments_data() {
        QTest::addColumn<QString>("line"); // a server line; PWN stands for a file to create
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("arguments");
        const QString entry = QStringLiteral("MiravonVPN网络连接器");
        QTest::newRow("plain") << "甲:10.0.0.1;mira#pw01"
                               << "" << QStringList{entry, "mira", "pw01"};
        QTest::newRow("shell text in account and password")
            << "乙:10.0.0.5;a$(touch PWN)`touch PWN`;&&|'\"q\"\nz#p;w$(touch PWN)|| touch PWN"
            << "" << QStringList{entry,        "a$(touch", "PWN)`touch", "PWN`;&&|'q\nz",
                                 "p;w$(touch", "PWN)||",   "touch",      "PWN"};
        QTest::newRow("shell text on the password page")
            << "丙:10.0.0.6;cvpn#PAGE" << Connector::passwordPage("cvpn", "`id`")
            << QStringList{entry, "cvpn", "`id`"};
    }
    void dialToolArguments() {
#ifdef Q_OS_WIN
        QSKIP("the stand-in dial tool here is a shell script and the phonebook the Linux file; "
              "under Wine check-windows.sh dials through the real platform");
#endif
        QFETCH(QString, line);
        QFETCH(QString, page);
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QString pwned = dir.filePath("pwned");
        const QString record = dir.filePath("arguments");
        QFile tool(dir.filePath("rasdial"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        // A stand-in dial tool on the search path that writes down its arguments and the line
        // on its standard input.
        tool.write("#!/bin/sh\nIFS= read -r line\n"
                   "for a in \"$@\" \"$line\"; do printf '%s\\0' \"$a\"; done >\"$0.tmp\"\n"
                   "mv \"$0.tmp\" \"$RASDIAL_RECORD\"\n");
        tool.close();
        tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", dir.path().toUtf8() + ":" + qgetenv("PATH"));
        qputenv("RASDIAL_RECORD", record.toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());

        TestSite site;
        site.server.route("/vpn/list.txt",
                          site.server.text(QString(line)
                                               .replace("PWN", pwned)
                                               .replace("PAGE", site.server.url("/p.asp"))
                                               .toStdString()));
        site.server.route("/p.asp", site.server.text(page.toStdString()));
        DesktopPlatform platform;
        frmtunrell window(site.config(), platform);
        window.Form_Load();
        window.Command1_Click();

        QTRY_VERIFY(QFile::exists(record));
        QFile written(record);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QStringList received = QString::fromUtf8(written.readAll()).split(u'\0');
        received.removeLast();
        // A dial's password never stands on the command line: "*" there, the password on
        // input. A line of more values than a dial takes is left as it is, and refused.
        arguments.replaceInStrings("PWN", pwned);
        if (arguments.size() == 3)
            arguments.insert(2, QStringLiteral("*"));
        else
            arguments.append(QString());
        QCOMPARE(received, arguments);
        QTest::qWait(200); // time for anything a shell would have run
        QVERIFY(!QFile::exists(pwned));
        QFile phonebook(dir.filePath("config/MiravonVPN/rasphone.pbk"));
        QVERIFY(phonebook.open(QIODevice::ReadOnly));
        QVERIFY(phonebook.readAll().contains("szLocalPhoneNumber=" +
                                             line.section(u':', 1).section(u';', 0, 0).toUtf8()));
    }

    // Until start-up has the public address, nothing connects: there would be no address to
    // tell the tunnel's from.
    void notBeforeStartup() {
        TestSite site;
        FakePlatform platform;
        frmtunrell window(site.config(), platform);
        QVERIFY(!window.findChild<QWidget*>("Command1")->isEnabled());
        QVERIFY(!window.findChild<QAction*>("M_link")->isEnabled());
        window.Command1_Click();
        QVERIFY(logLines(window).isEmpty());
        QVERIFY(platform.entriesWritten.isEmpty());
        QVERIFY(platform.launched.isEmpty());
    }
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"

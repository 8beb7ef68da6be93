// The Windows platform against the real Windows services: code pages, pictures, the registry,
// programs started with a show state, the user32 window sweep, the end of the session and the
// pipe of the one connector per user. Runs on Qt's Windows platform (real top-level windows).
#include "platform/ansi.h"
#include "platform/endsignals.h"
#include "platform/instancename.h"
#include "platform/platform.h"
#include "platform/programicon.h"
#include "platform/registry.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QResource>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr const char* ReportShowState = "--report-show-state";
const QString TestKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\MiravonVPN-tests");

bool chineseCodePage() {
    return GetACP() == 936;
}

} // namespace

class TestWindowsPlatform : public QObject {
    Q_OBJECT
private slots:
    void cleanupTestCase() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\MiravonVPN-tests"); }

    void chinesePages_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("lookup page") << QByteArray("\xc4\xfa\xb5\xc4IP\xca\xc7:[1.2.3.4]")
                                     << QStringLiteral("您的IP是:[1.2.3.4]");
        QTest::newRow("server list") << QByteArray("\xb5\xe7\xd0\xc5\xd2\xbb\xc7\xf8:10.0.0.1")
                                     << QStringLiteral("电信一区:10.0.0.1");
        QTest::newRow("plain ASCII") << QByteArray("2.1") << QStringLiteral("2.1");
        QTest::newRow("a byte that starts nothing keeps the next")
            << QByteArray("\xb5\xe7" "a\x81 z\xff\r\n") << QStringLiteral("电a\uFFFD z\uFFFD\r\n");
        QTest::newRow("cut short at the end") << QByteArray("a\xb5") << QStringLiteral("a\uFFFD");
        QTest::newRow("empty") << QByteArray() << QString();
        // GB18030's four-byte characters, where the system knows that code page; plain GBK
        // reads their bytes as letters and bytes that start nothing.
        const bool gb18030 = IsValidCodePage(54936);
        QTest::newRow("four bytes, beyond the basic plane")
            << QByteArray("\x81\x30\x81\x30" "a\x90\x30\x81\x30")
            << (gb18030 ? QStringLiteral("\u0080a\U00010000")
                        : QStringLiteral("\uFFFD0\uFFFD0a\uFFFD0\uFFFD0"));
    }
    void chinesePages() {
        QFETCH(QByteArray, bytes);
        QTEST(decodeChinese(bytes), "text");
    }

    // Pictures read by Windows' imaging component; the colours are those libjpeg and libpng
    // read, within what two JPEG decoders may differ by at the edge of a letter.
    void pictures_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<QPoint>>("points");
        QTest::addColumn<QList<QRgb>>("colours");
        const QByteArray about = QResource(aboutPictureFile()).uncompressedData();
        QTest::newRow("the about picture, JPEG")
            << about << QSize(120, 90) << QList<QPoint>{{0, 0}, {22, 32}, {119, 89}}
            << QList<QRgb>{qRgb(30, 134, 229), qRgb(240, 255, 255), qRgb(12, 71, 161)};
        QTest::newRow("the program's icon, PNG with transparency")
            << QResource(programIconFile()).uncompressedData() << QSize(64, 64)
            << QList<QPoint>{{0, 0}, {32, 32}}
            << QList<QRgb>{qRgba(0, 0, 0, 0), qRgb(21, 101, 192)};
        QTest::newRow("cut short in its header") << about.left(20) << QSize(0, 0) << QList<QPoint>{}
                                                 << QList<QRgb>{};
        QTest::newRow("no picture") << QByteArray("GIF8 is not enough") << QSize(0, 0)
                                    << QList<QPoint>{} << QList<QRgb>{};
        QTest::newRow("empty") << QByteArray() << QSize(0, 0) << QList<QPoint>{} << QList<QRgb>{};
    }
    void pictures() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QPoint>, points);
        QFETCH(QList<QRgb>, colours);
        const QImage image = decodePicture(bytes);
        QTEST(image.size(), "size");
        for (qsizetype i = 0; i < points.size(); ++i) {
            const QRgb seen = image.pixel(points[i]), read = colours[i];
            const int off = std::max({std::abs(qRed(seen) - qRed(read)),
                                      std::abs(qGreen(seen) - qGreen(read)),
                                      std::abs(qBlue(seen) - qBlue(read)),
                                      std::abs(qAlpha(seen) - qAlpha(read))});
            QVERIFY2(off <= 16, qPrintable(QStringLiteral("at %1,%2: %3 instead of %4")
                                              .arg(points[i].x()).arg(points[i].y())
                                              .arg(seen, 8, 16).arg(read, 8, 16)));
        }
    }

    // The records' texts in the system's code page: on a Chinese system the device name is its
    // 19 bytes of GBK, and the two directions agree.
    void ansiCodePage() {
        if (!chineseCodePage()) QSKIP("needs a Simplified-Chinese system code page (936)");
        const QByteArray device = toAnsi(QStringLiteral("WAN 微型端口 (PPTP)"));
        QCOMPARE(device, QByteArray("WAN \xce\xa2\xd0\xcd\xb6\xcb\xbf\xda (PPTP)"));
        QCOMPARE(fromAnsi(device), QStringLiteral("WAN 微型端口 (PPTP)"));
    }

    void registry_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("written");
        QTest::newRow("text value") << TestKey + "\\Main\\Start page" << "REG_SZ" << true;
        QTest::newRow("short root name") << "HKCU\\Software\\MiravonVPN-tests\\v" << "REG_SZ"
                                         << true;
        QTest::newRow("no other type") << TestKey + "\\n" << "REG_DWORD" << false;
        QTest::newRow("unknown root") << "HKEY_NOWHERE\\Software\\x\\v" << "REG_SZ" << false;
        QTest::newRow("no key") << "HKEY_CURRENT_USER\\v" << "REG_SZ" << false;
        QTest::newRow("empty part") << TestKey + "\\\\v" << "REG_SZ" << false;
    }
    void registry() {
        QFETCH(QString, path);
        QFETCH(QString, type);
        QFETCH(bool, written);
        QCOMPARE(readRegistryValue(path), std::nullopt);
        QCOMPARE(writeRegistryValue(path, QStringLiteral("http://起始页.example/"), type), written);
        if (!written) {
            QCOMPARE(readRegistryValue(path), std::nullopt);
            return;
        }
        QCOMPARE(readRegistryValue(path), QStringLiteral("http://起始页.example/"));
        QVERIFY(writeRegistryValue(path, QString(), type)); // replaced, also by nothing
        QCOMPARE(readRegistryValue(path), QString());
    }

    // A new Wine prefix or Windows installation has the browser's start page set.
    void startPageOfTheSystem() {
        const auto page = readRegistryValue(QStringLiteral(
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main\\Start page"));
        QVERIFY(page && page->startsWith(u"http"));
    }

    // The started program sees the show state it was given, and the command line as written.
    void launchShowState_data() {
        QTest::addColumn<int>("showState");
        QTest::newRow("hidden") << SW_HIDE;
        QTest::newRow("minimised") << SW_SHOWMINIMIZED;
    }
    void launchShowState() {
        QFETCH(int, showState);
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/show state XXXXXX"));
        const QString report = QDir::toNativeSeparators(dir.filePath("report.txt"));
        const QString self = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
        const auto platform = createPlatform();
        QVERIFY(platform->launch(QStringLiteral("\"%1\" %2 \"%3\"")
                                     .arg(self, QLatin1String(ReportShowState), report),
                                 showState));
        const auto reported = [&report] {
            QFile file(report);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(!reported().isEmpty(), 10000);
        QCOMPARE(reported().toInt(), showState);
    }

    // Only the program the first word names runs, never a shell.
    void launchRefused_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("no such program") << "miravon-no-such-program x";
        QTest::newRow("empty") << "";
        QTest::newRow("shell words are no program") << "& calc.exe";
    }
    void launchRefused() {
        QFETCH(QString, line);
        QVERIFY(!createPlatform()->launch(line, SW_HIDE));
    }

    // The sweep asks the windows titled exactly so to close, and leaves the others.
    void sweep() {
        if (!chineseCodePage()) QSKIP("needs a Simplified-Chinese system code page (936)");
        QWidget wanted, longer, other;
        wanted.setWindowTitle(QStringLiteral("网络连接"));
        longer.setWindowTitle(QStringLiteral("网络连接 2"));
        other.setWindowTitle(QStringLiteral("other"));
        for (QWidget* window : {&wanted, &longer, &other})
            window->show(); // each a real top-level window of user32 from here on
        createPlatform()->closeWindowsTitled(QStringLiteral("网络连接"));
        QTRY_VERIFY(!wanted.isVisible());
        QTest::qWait(200);
        QVERIFY(longer.isVisible());
        QVERIFY(other.isVisible());
    }

    // A logoff or shutdown: asked first, the program's answer keeps the session or lets it
    // end (a critical end asks nobody); when it ends, the end is told once.
    void sessionEnd_data() {
        QTest::addColumn<bool>("keep");        // what the program answers when asked
        QTest::addColumn<LPARAM>("reason");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<LRESULT>("answer");   // to WM_QUERYENDSESSION
        QTest::addColumn<bool>("ends");
        QTest::newRow("logoff, the user confirms")
            << false << LPARAM(ENDSESSION_LOGOFF) << true << LRESULT(TRUE) << true;
        QTest::newRow("logoff, the user keeps the program")
            << true << LPARAM(ENDSESSION_LOGOFF) << true << LRESULT(FALSE) << false;
        QTest::newRow("shutdown that asks nobody")
            << true << LPARAM(ENDSESSION_CRITICAL) << false << LRESULT(TRUE) << true;
    }
    void sessionEnd() {
        QFETCH(bool, keep);
        QFETCH(LPARAM, reason);
        QFETCH(bool, ends);
        QWidget window;
        window.show();
        EndSignals endSignals;
        int asked = 0;
        connect(&endSignals, &EndSignals::endQuery, this, [&](bool* kept) {
            ++asked;
            *kept = keep;
        });
        QSignalSpy told(&endSignals, &EndSignals::received);
        const HWND hwnd = reinterpret_cast<HWND>(window.winId());
        QTEST(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, reason), "answer");
        QTEST(asked == 1, "asked");
        QCOMPARE(told.size(), 0);
        SendMessageW(hwnd, WM_ENDSESSION, ends, reason);
        SendMessageW(hwnd, WM_ENDSESSION, ends, reason);
        QCOMPARE(told.size(), ends ? 1 : 0);
    }

    // The user's one connector, under a name of the user and the session: later starts reach
    // it and end; once it has gone (crashed too: the names go with its handles), the next
    // start runs.
    void oneConnectorPerUser() {
        const QString name = defaultInstanceName();
        QVERIFY2(QRegularExpression(QStringLiteral("^miravon-vpn-S-1-5-[0-9-]+-[0-9]+$"))
                     .match(name)
                     .hasMatch(),
                 qPrintable(name));
        {
            SingleInstance first(name);
            QSignalSpy toFront(&first, &SingleInstance::activationRequested);
            QVERIFY(first.claim());
            for (int start = 1; start <= 2; ++start) {
                SingleInstance later(name);
                QVERIFY(!later.claim());
                QTRY_COMPARE(toFront.size(), start);
            }
        }
        SingleInstance next(name);
        QVERIFY(next.claim());
    }
};

int main(int argc, char* argv[]) {
    // Started by launchShowState: says the show state it was started with.
    if (argc == 3 && QByteArray(argv[1]) == ReportShowState) {
        STARTUPINFOW startup = {};
        GetStartupInfoW(&startup);
        const int state = startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : -1;
        QFile report(QString::fromLocal8Bit(argv[2]));
        return report.open(QIODevice::WriteOnly) &&
                       report.write(QByteArray::number(state)) > 0
                   ? 0
                   : 1;
    }
    QApplication app(argc, argv);
    TestWindowsPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowsplatform.moc"

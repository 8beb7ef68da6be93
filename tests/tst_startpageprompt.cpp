// The offer to set the browser's start page, in its start-up and its menu form.
#include "fakeplatform.h"
#include "testsite.h"
#include "window/frmtunrell.h"

#include <QAction>
#include <QPushButton>
#include <QTest>

namespace {

const QString StartPageValue =
    QStringLiteral(R"(HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main\Start page)");
const QString Ask = QStringLiteral(
    "请点击[确定]按钮已表示您对Miravon软件的支持,它将会修改浏览器主页为[Miravon上网导航],"
    "更好的为您服务.");
const QString Thanks = QStringLiteral("感谢您对Miravon软件的支持,Miravon软件有您而精彩.");
const QString Declined = QStringLiteral(
    "您未支持Miravon软件开发,[支持提示]会在下次使用时显示,软件无任何限制,可正常使用.");
const QString Cannot = QStringLiteral("无法读取或设置浏览器主页.");

} // namespace

class TestStartPagePrompt : public QObject {
    Q_OBJECT
private slots:
    void prompt_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<QString>("stored"); // "missing", "equal", "upper", "slash" or a value
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("written");
        const QList<int> ok{1}, cancel{2};
        QTest::newRow("start-up, equal")
            << false << "equal" << ok << true << QStringList() << false;
        QTest::newRow("start-up, missing")
            << false << "missing" << ok << true << QStringList() << false;
        QTest::newRow("start-up, OK")
            << false << "about:blank" << ok << true << QStringList{Ask, Thanks} << true;
        QTest::newRow("start-up, Cancel")
            << false << "about:blank" << cancel << true << QStringList{Ask, Declined} << false;
        QTest::newRow("start-up, other case")
            << false << "upper" << ok << true << QStringList{Ask, Thanks} << true;
        QTest::newRow("start-up, trailing slash")
            << false << "slash" << ok << true << QStringList{Ask, Thanks} << true;
        QTest::newRow("start-up, write fails")
            << false << "about:blank" << ok << false << QStringList{Ask, Thanks} << false;
        QTest::newRow("menu, equal")
            << true << "equal" << ok << true << QStringList{Thanks} << false;
        QTest::newRow("menu, missing")
            << true << "missing" << ok << true << QStringList{Cannot} << false;
        QTest::newRow("menu, OK") << true << "about:blank" << ok << true << QStringList{Ask, Thanks}
                                  << true;
        QTest::newRow("menu, Cancel")
            << true << "about:blank" << cancel << true << QStringList{Ask, Declined} << false;
        QTest::newRow("menu, write fails")
            << true << "about:blank" << ok << false << QStringList{Ask, Thanks, Cannot} << false;
    }
    void prompt() {
        QFETCH(bool, fromMenu);
        QFETCH(QString, stored);
        QFETCH(bool, written);
        TestSite site;
        const QString navigation = site.server.base() + "/dh.htm";
        FakePlatform platform;
        QFETCH(QList<int>, answers);
        platform.answers = answers;
        QFETCH(bool, writable);
        platform.registryWritable = writable;
        const QMap<QString, QString> values = {
            {"equal", navigation}, {"upper", navigation.toUpper()}, {"slash", navigation + "/"}};
        if (stored != "missing") platform.registry.insert(StartPageValue, values.value(stored, stored));
        const QString before = platform.registry.value(StartPageValue);

        frmtunrell window(site.config(), platform);
        if (fromMenu)
            window.findChild<QAction*>("M_Ct")->trigger();
        else
            window.Form_Load();

        QTEST(platform.boxTexts(), "boxes");
        for (const FakePlatform::Box& box : platform.boxes) {
            QCOMPARE(box.title, QString("提示"));
            QCOMPARE(box.style, box.text == Ask ? 1 : 0);
        }
        QCOMPARE(platform.registry.value(StartPageValue), written ? navigation : before);
        if (!fromMenu) {
            // Whatever the prompt met, start-up goes on with the idle controls and the check.
            QVERIFY(!window.findChild<QPushButton*>("Command2")->isEnabled());
            QCOMPARE(logLines(window).value(0), QString("程序初始化成功......."));
        }
    }

    // Once agreed, the next start asks nothing.
    void agreedOnce() {
        TestSite site;
        FakePlatform platform;
        platform.registry.insert(StartPageValue, "about:blank");
        {
            frmtunrell first(site.config(), platform);
            first.Form_Load();
        }
        QCOMPARE(platform.boxes.size(), 2);
        frmtunrell second(site.config(), platform);
        second.Form_Load();
        QCOMPARE(platform.boxes.size(), 2);
    }
};

QTEST_MAIN(TestStartPagePrompt)
#include "tst_startpageprompt.moc"

// What a screen reader finds, read through AT-SPI itself (at-spi2-core on a private session bus,
// support/atspi-controls.py): on every tab, each control that can take focus has a name.
#include "connector.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QTabWidget>

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(),
                 "needs a session bus, where the accessibility bus is found");
    }

    // Each tab, with one control of its own that must be among those found.
    void focusableControlsHaveNames_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("control"); // named so on that tab
        QTest::newRow("关于软件") << 0 << "功能 提高转网速度,突破网络限制.";
        QTest::newRow("控制界面") << 1 << "信息提示栏";
        QTest::newRow("信息公告") << 2 << "信息公告";
    }
    void focusableControlsHaveNames() {
        QFETCH(int, tab);
        QFETCH(QString, control);
        Connector c;
        c.child<QTabWidget>("SSTab1")->setCurrentIndex(tab);
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));

        // The window answers the reader's questions from its event loop, which runs meanwhile.
        QProcess reader;
        QSignalSpy finished(&reader, &QProcess::finished);
        reader.start("/usr/bin/python3",
                     {ATSPI_CONTROLS, QString::number(QCoreApplication::applicationPid())});
        QVERIFY(finished.wait(30000));
        QVERIFY2(reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0,
                 reader.readAllStandardError().constData());

        QStringList nameless;
        bool found = false;
        for (const QString& line : QString::fromUtf8(reader.readAllStandardOutput()).split(u'\n')) {
            if (line.isEmpty()) continue;
            const QString role = line.section(u'\t', 0, 0);
            const QString name = line.section(u'\t', 1);
            if (name.isEmpty()) nameless << role;
            // Not the tab of that name, nor the tab bar, which is named after the tab shown.
            found = found || (!role.startsWith("page tab") && name == control);
        }
        QVERIFY2(nameless.isEmpty(), qPrintable("without a name: " + nameless.join(", ")));
        QVERIFY2(found, qPrintable(control));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

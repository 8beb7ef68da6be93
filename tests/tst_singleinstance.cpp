// One connector per user: a later start reaches the running one and ends; the socket of a
// run that crashed is taken over.
#include "platform/singleinstance.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void laterStartReachesFirst_data() {
        QTest::addColumn<bool>("leftover"); // a file lies where the socket goes
        QTest::newRow("nothing there") << false;
        QTest::newRow("a file left there") << true;
    }
    void laterStartReachesFirst() {
        QFETCH(bool, leftover);
        QTemporaryDir dir;
        const QString path = dir.filePath("connector.socket");
        if (leftover) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }

        SingleInstance first(path);
        QSignalSpy toFront(&first, &SingleInstance::activationRequested);
        QVERIFY(first.claim());
        for (int start = 1; start <= 2; ++start) {
            SingleInstance later(path);
            QVERIFY(!later.claim());
            QTRY_COMPARE(toFront.size(), start);
        }
    }

    // The program itself: a second start ends at once while the first runs on; after the
    // first has crashed, the next start takes its place.
    void program() {
        QTemporaryDir runtime;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        const QString socket = runtime.filePath("miravon-vpn.socket");
        const auto start = [&](QProcess& process) {
            process.setProcessEnvironment(environment);
            process.start(MIRAVON_PROGRAM, QStringList());
            QVERIFY(process.waitForStarted());
        };
        const auto answers = [&] {
            QLocalSocket probe;
            probe.connectToServer(socket);
            return probe.state() == QLocalSocket::ConnectedState;
        };

        QProcess first;
        start(first);
        QTRY_VERIFY(answers());
        QProcess second;
        start(second);
        QTRY_COMPARE(second.state(), QProcess::NotRunning);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        first.kill(); // SIGKILL: the socket file stays behind, with nobody listening
        QVERIFY(first.waitForFinished());
        QVERIFY(QFile::exists(socket));
        QVERIFY(!answers());

        QProcess third;
        start(third);
        QTRY_VERIFY(answers());
        QProcess fourth;
        start(fourth);
        QTRY_COMPARE(fourth.state(), QProcess::NotRunning);
        QCOMPARE(third.state(), QProcess::Running);
        third.kill();
        QVERIFY(third.waitForFinished());
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"

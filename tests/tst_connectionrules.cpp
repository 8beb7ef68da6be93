// The rules of a connection that need no window: the phonebook records and the password cut.
#include "connection/clocks.h"
#include "connection/markerpassword.h"
#include "connection/rasrecords.h"

#include <QTest>

namespace {

// A record written out by hand: zero bytes with the given pieces at their offsets.
QByteArray handRecord(int size, const QList<QPair<int, QByteArray>>& pieces) {
    QByteArray record(size, '\0');
    for (const auto& [offset, bytes] : pieces)
        record.replace(offset, bytes.size(), bytes);
    return record;
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// The entry as the tables give it, for a phone number already in GBK.
QByteArray handEntry(const QByteArray& phoneNumber) {
    return handRecord(2884, {{0, hex("440b0000")},
                             {4, hex("10030d3d")},
                             {8, hex("56000000")},
                             {12, hex("56000000")},
                             {27, phoneNumber},
                             {184, hex("04000000")},
                             {188, hex("01000000")},
                             {972, hex("76706e00")},
                             {989, hex("57414e20cea2d0cdb6cbbfda202850505450290"
                                       "0")},
                             {1772, hex("01000000")},
                             {1776, hex("4b000000")},
                             {1780, hex("78000000")},
                             {1784, hex("0a000000")},
                             {1788, hex("78000000")},
                             {1796, hex("02000000")},
                             {1800, hex("03000000")},
                             {2088, hex("6f010000")},
                             {2876, hex("03000000")},
                             {2880, hex("3c000000")}});
}

} // namespace

class TestConnectionRules : public QObject {
    Q_OBJECT
private slots:
    void entryRecord_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QByteArray>("phoneNumber"); // the field's bytes; empty: refused
        QTest::newRow("dotted address") << "10.0.0.1" << QByteArray("10.0.0.1");
        QTest::newRow("empty address") << "" << QByteArray();
        QTest::newRow("128 bytes fill the field") << QString(128, u'a') << QByteArray(128, 'a');
        QTest::newRow("129 bytes refused") << QString(129, u'a') << QByteArray("refused");
        QTest::newRow("Chinese host name in GBK") << "电信.cn" << hex("b5e7d0c52e636e");
        QTest::newRow("64 Chinese characters are 128 bytes")
            << QString(64, QChar(0x7535)) << QByteArray(64, '\xb5').replace("\xb5", "\xb5\xe7");
        QTest::newRow("65 Chinese characters are too many")
            << QString(65, QChar(0x7535)) << QByteArray("refused");
    }
    void entryRecord() {
        QFETCH(QString, address);
        QFETCH(QByteArray, phoneNumber);
        const auto record = buildRasEntry(address);
        if (phoneNumber == "refused") {
            QCOMPARE(record, std::nullopt);
            return;
        }
        QVERIFY(record);
        QCOMPARE(record->size(), 2884);
        QCOMPARE(*record, handEntry(phoneNumber));
    }

    void credentialsRecord() {
        QCOMPARE(buildEmptyRasCredentials(),
                 handRecord(540, {{0, hex("1c020000")}, {4, hex("0b000000")}}));
    }

    void markerPassword_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QString>("password");
        const QString filler(84, u'-');
        QTest::newRow("four characters 84 after the marker") << "cvpn" + filler + "Ab12tail"
                                                             << "cvpn"
                                                             << "Ab12";
        QTest::newRow("marker further in") << "<p>xx cvpn" + filler + "Q9z7</p>"
                                           << "cvpn"
                                           << "Q9z7";
        QTest::newRow("first occurrence counts") << "uvpn" + filler + "1234uvpn"
                                                 << "uvpn"
                                                 << "1234";
        QTest::newRow("absent marker: from the 88th character") << "cvpn" + filler + "WXYZ"
                                                                << "uvpn"
                                                                << "-WXY";
        QTest::newRow("short answer: what is there") << "cvpn" + filler + "ab"
                                                     << "cvpn"
                                                     << "ab";
        QTest::newRow("shorter still: empty") << "cvpn" + filler << "cvpn"
                                              << "";
        QTest::newRow("counted in UTF-16 units, not bytes")
            << "avpn" + QString(84, QChar(0x5bc6)) + "密码12"
            << "avpn"
            << "密码12";
    }
    void markerPassword() {
        QFETCH(QString, page);
        QFETCH(QString, marker);
        QTEST(cutMarkerPassword(page, marker), "password");
    }

    void markers_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<bool>("marker");
        QTest::newRow("cvpn") << "cvpn" << true;
        QTest::newRow("uvpn") << "uvpn" << true;
        QTest::newRow("avpn") << "avpn" << true;
        QTest::newRow("capitals are an account") << "CVPN" << false;
        QTest::newRow("longer") << "cvpn1" << false;
        QTest::newRow("empty") << "" << false;
    }
    void markers() {
        QFETCH(QString, account);
        QTEST(isAccountMarker(account), "marker");
    }

    void clockLabels_data() {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QString>("label");
        QTest::newRow("start") << 0 << "连接计时: 0-0";
        QTest::newRow("no leading zeros") << 65 << "连接计时: 1-5";
        QTest::newRow("a whole minute") << 60 << "连接计时: 1-0";
        QTest::newRow("last second of the short limit") << 1079 << "连接计时: 17-59";
        QTest::newRow("no hours") << 3600 << "连接计时: 60-0";
        QTest::newRow("largest count") << 32767 << "连接计时: 546-7";
    }
    void clockLabels() {
        QFETCH(int, ticks);
        QTEST(clockLabel(ConnectionClockPrefix, qint16(ticks)), "label");
    }

    void limits_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<int>("ticks");
        QTest::newRow("uvpn") << "uvpn" << 1080;
        QTest::newRow("avpn") << "avpn" << 1080;
        QTest::newRow("cvpn") << "cvpn" << 1680;
        QTest::newRow("capitals") << "UVPN" << 1680;
        QTest::newRow("plain account") << "mira" << 1680;
        QTest::newRow("none chosen") << "" << 1680;
    }
    void limits() {
        QFETCH(QString, account);
        QTEST(int(connectionLimitTicks(account)), "ticks");
    }

    void counterStopsAtItsMaximum_data() {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("advanced");
        QTest::newRow("counts") << 0 << 1 << true;
        QTest::newRow("reaches the maximum") << 32766 << 32767 << true;
        QTest::newRow("stays there") << 32767 << 32767 << false;
    }
    void counterStopsAtItsMaximum() {
        QFETCH(int, before);
        qint16 counter = qint16(before);
        QTEST(advanceTick(counter), "advanced");
        QTEST(int(counter), "after");
    }

    void phase_data() {
        QTest::addColumn<QString>("running"); // timer numbers
        QTest::addColumn<int>("phase");
        QTest::newRow("none: idle") << "" << int(ConnectionPhase::Idle);
        QTest::newRow("connect check: dialing") << "1" << int(ConnectionPhase::Dialing);
        QTest::newRow("drop watch and clock: connected") << "24" << int(ConnectionPhase::Connected);
        QTest::newRow("clock alone after a disconnect raced a drop: connected")
            << "4" << int(ConnectionPhase::Connected);
        QTest::newRow("pause and sweep") << "35" << int(ConnectionPhase::ReconnectPause);
        QTest::newRow("pause") << "5" << int(ConnectionPhase::ReconnectPause);
    }
    void phaseTexts_data() {
        QTest::addColumn<int>("phase");
        QTest::addColumn<QString>("text");
        QTest::newRow("idle") << int(ConnectionPhase::Idle) << "未连接";
        QTest::newRow("dialing") << int(ConnectionPhase::Dialing) << "正在连接......";
        QTest::newRow("connected: its clock")
            << int(ConnectionPhase::Connected) << "已连接, 连接计时: 1-5";
        QTest::newRow("pause: its clock")
            << int(ConnectionPhase::ReconnectPause) << "等待重连, 重连计时: 2-0";
    }
    void phaseTexts() {
        QFETCH(int, phase);
        QTEST(phaseText(ConnectionPhase(phase), 65, 120), "text");
    }

    void phase() {
        QFETCH(QString, running);
        const RunningTimers timers{running.contains('1'), running.contains('2'),
                                   running.contains('3'), running.contains('4'),
                                   running.contains('5')};
        QTEST(int(connectionPhase(timers)), "phase");
    }
};

QTEST_MAIN(TestConnectionRules)
#include "tst_connectionrules.moc"

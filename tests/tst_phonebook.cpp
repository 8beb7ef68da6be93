// The per-user phonebook file on Linux: records become keys, writes are atomic and lose nothing.
#include "connection/rasrecords.h"
#include "platform/linux/phonebookfile.h"
#include "platform/linux/phonebookstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Entry = QStringLiteral("MiravonVPN网络连接器");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool store(const QString& path, const QString& address) {
    return storeEntryProperties(path, Entry, *buildRasEntry(address)) &&
           storeCredentials(path, Entry, buildEmptyRasCredentials());
}

} // namespace

class TestPhonebook : public QObject {
    Q_OBJECT
private slots:
    // The entry as a person reads it: the record's fields by name, texts in UTF-8.
    void entryAsWritten() {
        QTemporaryDir dir;
        const QString path = dir.filePath("MiravonVPN/rasphone.pbk");
        QVERIFY(store(path, "vpn.example.cn"));
        const auto book = phonebook::read(path);
        QCOMPARE(book.status, phonebook::ReadStatus::Ok);
        const phonebook::Entry* entry = book.book.find(Entry);
        QVERIFY(entry);
        const QList<QPair<QString, QString>> expected{{"dwSize", "2884"},
                                                      {"dwfOptions", "0x3D0D0310"},
                                                      {"dwCountryID", "86"},
                                                      {"dwCountryCode", "86"},
                                                      {"szLocalPhoneNumber", "vpn.example.cn"},
                                                      {"dwfNetProtocols", "0x00000004"},
                                                      {"dwFramingProtocol", "1"},
                                                      {"szDeviceType", "vpn"},
                                                      {"szDeviceName", "WAN 微型端口 (PPTP)"},
                                                      {"dwDialMode", "1"},
                                                      {"dwDialExtraPercent", "75"},
                                                      {"dwDialExtraSampleSeconds", "120"},
                                                      {"dwHangUpExtraPercent", "10"},
                                                      {"dwHangUpExtraSampleSeconds", "120"},
                                                      {"dwType", "2"},
                                                      {"dwEncryptionType", "3"},
                                                      {"dwVpnStrategy", "0"},
                                                      {"dwfOptions2", "0x0000016F"},
                                                      {"dwRedialCount", "3"},
                                                      {"dwRedialPause", "60"},
                                                      {"Credentials.dwSize", "540"},
                                                      {"Credentials.dwMask", "0x0000000B"},
                                                      {"Credentials.szUserName", ""},
                                                      {"Credentials.szPassword", ""},
                                                      {"Credentials.szDomain", ""}};
        QCOMPARE(entry->values, expected);
        QVERIFY(readAll(path).contains("[MiravonVPN网络连接器]\ndwSize=2884\n"));
        QCOMPARE(QFile::permissions(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ReadUser | QFileDevice::WriteUser);
    }

    // A second write replaces the entry whole; other entries stay as they were.
    void rewriteKeepsOthers() {
        QTemporaryDir dir;
        const QString path = dir.filePath("rasphone.pbk");
        writeAll(path, "; mine\n[家里]\nszLocalPhoneNumber=192.0.2.1\nCustom=keep \\\\ me\n");
        QVERIFY(store(path, "10.0.0.1"));
        QVERIFY(store(path, "10.0.0.2"));
        const auto book = phonebook::read(path).book;
        QCOMPARE(book.entries.size(), 2);
        QCOMPARE(book.entries[0].name, QString("家里"));
        QCOMPARE(book.entries[0].value("Custom"), QString("keep \\ me"));
        QCOMPARE(book.find(Entry)->value("szLocalPhoneNumber"), QString("10.0.0.2"));
        QCOMPARE(book.find(Entry)->values.size(), 25);
    }

    void parse_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("parses");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("comments, blanks, CR LF") << QByteArray("# a\r\n\r\n[E]\r\nk=v\r\n") << true;
        QTest::newRow("value with = and brackets") << QByteArray("[E]\nk=a=b]\n") << true;
        QTest::newRow("key before any section") << QByteArray("k=v\n[E]\n") << false;
        QTest::newRow("line without =") << QByteArray("[E]\ngarbage\n") << false;
        QTest::newRow("empty key") << QByteArray("[E]\n=v\n") << false;
        QTest::newRow("unknown escape") << QByteArray("[E]\nk=a\\qb\n") << false;
        QTest::newRow("not UTF-8") << QByteArray("[E]\nk=\xff\xfe\n") << false;
        QTest::newRow("binary") << QByteArray("\x7f"
                                              "ELF\x02\x01\x01",
                                              7)
                                << false;
        QTest::newRow("over the size limit")
            << "[E]\n" + QByteArray(phonebook::MaxFileBytes, ';') << false;
    }
    void parse() {
        QFETCH(QByteArray, text);
        QTEST(phonebook::parse(text).has_value(), "parses");
    }

    // A file just under the size limit, all keys, reads at once (not in time growing with the
    // square of its keys).
    void largestFileReadsAtOnce() {
        QByteArray text = "[E]\n";
        for (int i = 0; text.size() < phonebook::MaxFileBytes - 40; ++i)
            text += "key" + QByteArray::number(i) + "=value\n";
        QElapsedTimer clock;
        clock.start();
        const auto book = phonebook::parse(text);
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(book && book->entries[0].values.size() > 60000);
    }

    // Any text survives a write and a read, line breaks and backslashes included.
    void valuesRoundTrip() {
        phonebook::Book book;
        const QString odd = QStringLiteral("a\nb\\n\r\tc ;#[x]=y 中文 ");
        book.findOrAdd("名字 [x]\n2").set("k", odd);
        const auto back = phonebook::parse(phonebook::serialize(book));
        QVERIFY(back);
        QCOMPARE(back->entries.size(), 1);
        QCOMPARE(back->entries[0].name, QString("名字 [x]\n2"));
        QCOMPARE(back->entries[0].value("k"), odd);
    }

    // A file that cannot be parsed is kept aside, never lost, and connecting still works.
    void damagedFileKeptAside() {
        QTemporaryDir dir;
        const QString path = dir.filePath("rasphone.pbk");
        const QByteArray damaged("[E]\nthis is not a phonebook\n");
        writeAll(path, damaged);
        QVERIFY(store(path, "10.0.0.1"));
        const QStringList aside =
            QDir(dir.path()).entryList({"rasphone.pbk.damaged-*"}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(dir.filePath(aside[0])), damaged);
        QCOMPARE(phonebook::read(path).book.find(Entry)->value("szLocalPhoneNumber"),
                 QString("10.0.0.1"));
    }

    // A phonebook that cannot be read or written: false, and nothing changes.
    void unwritable_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("config folder is a file") << "folder-is-file";
        QTest::newRow("phonebook is a folder") << "file-is-folder";
        if (geteuid() != 0) QTest::newRow("read-only folder") << "read-only";
    }
    void unwritable() {
        QFETCH(QString, obstacle);
        QTemporaryDir dir;
        QString path = dir.filePath("MiravonVPN/rasphone.pbk");
        QByteArray before;
        if (obstacle == "folder-is-file") {
            writeAll(dir.filePath("MiravonVPN"), "a file");
            before = "a file";
        } else if (obstacle == "file-is-folder") {
            QVERIFY(QDir().mkpath(path));
        } else {
            QVERIFY(QDir().mkpath(dir.filePath("MiravonVPN")));
            before = "[old]\nk=v\n";
            writeAll(path, before);
            QFile::setPermissions(dir.filePath("MiravonVPN"),
                                  QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        QVERIFY(!storeEntryProperties(path, Entry, *buildRasEntry("10.0.0.1")));
        if (obstacle == "folder-is-file") QCOMPARE(readAll(dir.filePath("MiravonVPN")), before);
        if (obstacle == "read-only") {
            QCOMPARE(readAll(path), before);
            QFile::setPermissions(dir.filePath("MiravonVPN"), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
        }
    }

    // A writer killed at any moment leaves either the old file or the new one, whole.
    void killedWriterLeavesAWholeFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("rasphone.pbk");
        phonebook::Book oldBook, newBook;
        oldBook.findOrAdd("old").set("k", QString(300'000, u'o'));
        newBook.findOrAdd("new").set("k", QString(300'000, u'n'));
        QVERIFY(phonebook::write(path, oldBook));
        for (int round = 0; round < 5; ++round) {
            const pid_t writer = fork();
            if (writer == 0) {
                for (;;)
                    phonebook::write(path, round % 2 ? oldBook : newBook);
            }
            QTest::qSleep(30 + 17 * round);
            kill(writer, SIGKILL);
            waitpid(writer, nullptr, 0);
            const auto book = phonebook::read(path);
            QCOMPARE(book.status, phonebook::ReadStatus::Ok);
            QCOMPARE(book.book.entries.size(), 1);
            const phonebook::Entry& entry = book.book.entries[0];
            QVERIFY(entry.value("k") == QString(300'000, entry.name == "old" ? u'o' : u'n'));
        }
    }
};

QTEST_MAIN(TestPhonebook)
#include "tst_phonebook.moc"

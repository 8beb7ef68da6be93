#pragma once

#include <httplib.h>

#include <QProcess>
#include <QRegularExpression>
#include <QString>

// The real local maker site (miravon-site) on a free port, for as long as the object lives.
struct SiteProcess {
    QProcess process;
    QString base; // "http://127.0.0.1:PORT"; empty when it did not start

    SiteProcess(const QString& program, int tunnelSeconds) {
        process.start(program, {"--port", "0", "--tunnel-seconds", QString::number(tunnelSeconds)});
        if (!process.waitForReadyRead(5000)) return;
        const auto match = QRegularExpression(QStringLiteral("(http://127\\.0\\.0\\.1:\\d+)/"))
                               .match(QString::fromUtf8(process.readLine()));
        base = match.captured(1);
    }
    ~SiteProcess() {
        process.kill();
        process.waitForFinished();
    }

    QByteArray get(const char* path) const {
        httplib::Client client(base.toStdString());
        client.set_read_timeout(5);
        const auto answer = client.Get(path);
        return answer ? QByteArray::fromStdString(answer->body) : QByteArray();
    }
    // The address between the brackets of the lookup page.
    QByteArray address() const {
        const QByteArray page = get("/ip2city.asp");
        const int open = page.indexOf('[');
        return page.mid(open + 1, page.indexOf(']') - open - 1);
    }
};

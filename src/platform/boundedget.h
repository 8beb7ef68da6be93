#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>
#include <QTimer>
#include <QUrl>

class QNetworkReply;

// Bounds on everything the connector reads from the network. Its answers (a server list, a
// version, the lookup, password and bulletin pages) are a few KB; a host that sends more is
// broken or hostile, and reading on would only grow the program.
constexpr qint64 MaxAnswerBytes = 256 * 1024;
constexpr int MaxRedirects = 5;

// What one GET brought back.
struct HttpAnswer {
    bool complete = false;  // the whole body arrived, within the bounds and the time limit
    int status = 0;         // the final answer's HTTP status; 0 when none came
    QByteArray body;        // empty unless complete
    QByteArray contentType; // the final answer's Content-Type header
    QUrl url;               // the final address, after redirects
};

// One GET of an http or https address, read within the bounds: redirects are followed at most
// MaxRedirects times and only to http or https; a body (announced or received) over
// MaxAnswerBytes ends the transfer at once; so does the time limit. Each GET has a network
// access of its own, without cookies. A caller may set a lower cap than MaxAnswerBytes. Reports
// exactly once, through finished, never from within the constructor; destroying it first drops the
// transfer without a report.
class BoundedGet : public QObject {
    Q_OBJECT
public:
    BoundedGet(QNetworkRequest request, int limitMs, qint64 maxBytes = MaxAnswerBytes,
               QObject* parent = nullptr);
    ~BoundedGet() override;

    bool isFinished() const { return finished_; }

signals:
    void finished(const HttpAnswer& answer);

private:
    void readBody();
    void end(bool complete);

    QNetworkAccessManager network_;
    QNetworkReply* reply_ = nullptr;
    QTimer limit_;
    qint64 maxBytes_;
    HttpAnswer answer_;
    bool finished_ = false;
};

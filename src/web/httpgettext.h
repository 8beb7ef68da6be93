#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

// How long a fetch with the given limit in seconds waits, in milliseconds: 0 means 30 s, and
// a negative limit has passed before the wait begins.
int fetchLimitMs(qint16 limitSeconds);

// What a fetch brought back: the body as text, and the final HTTP status.
struct FetchedText {
    QString text;   // empty on every failure
    int status = 0; // 0 when no whole HTTP answer came
    bool isSuccess() const { return status >= 200 && status <= 299; }
};

// The one network read of the connector: one plain GET of url, sent with the header
// "Cookie: <cookie>" (callers pass the empty text) and "If-Modified-Since: 0". Waits at most
// limitSeconds (0 means 30) while the window keeps handling its events; other handlers may
// start fetches of their own meanwhile. The body is decoded by the charset the answer declares
// (UTF-8 otherwise). The bounds of platform/boundedget.h hold: a body over MaxAnswerBytes, a
// redirect loop or a redirect away from http and https is a failure, and so is an address that
// is not http or https.
FetchedText HttpFetchText(const QString& url, const QString& cookie, qint16 limitSeconds);

// The body of the answer whatever its status (an error page too); the empty text on every
// failure.
QString HttpGetText(const QString& url, const QString& cookie, qint16 limitSeconds);

// The body of a 2xx answer. An error page, or a portal's login page sent with its own status,
// is no answer at all: the empty text.
QString HttpGetSuccessText(const QString& url, const QString& cookie, qint16 limitSeconds);

// GETs sent together instead of one after another, for a run of fetches whose addresses are
// known before the first of them is needed (start-up's version, lookup and list). While an object
// of this class lives, the first HttpFetchText of each address with the empty cookie takes the
// answer of the GET sent when the object was made, waiting for it if it is still on its way; an
// answer that came more than freshMs before is dropped, and the call sends a GET of its own as
// always. Leftovers are dropped with the object, and so are the GETs whose answers were taken: the
// network thread of each ends with it, and the wait for that (2 ms under Wine) comes when the
// object goes, not during the run. Of objects that live at the same time, the newest serves.
class FetchesAhead {
public:
    struct Fetch {
        QString url;
        qint16 limitSeconds;
    };
    explicit FetchesAhead(const QList<Fetch>& fetches, int freshMs = 2000);
    ~FetchesAhead();
    FetchesAhead(const FetchesAhead&) = delete;
    FetchesAhead& operator=(const FetchesAhead&) = delete;

private:
    struct Sent;
    friend FetchedText HttpFetchText(const QString&, const QString&, qint16);
    std::unique_ptr<Sent> take(const QString& url);

    std::vector<std::unique_ptr<Sent>> sent_;
    std::vector<std::unique_ptr<Sent>> spent_;
    int freshMs_;
};

#include "httpgettext.h"

#include "platform/boundedget.h"
#include "platform/textcodec.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkRequest>

#include <optional>

int fetchLimitMs(qint16 limitSeconds) {
    if (limitSeconds == 0) return 30'000;
    return limitSeconds < 0 ? 0 : limitSeconds * 1000;
}

namespace {

QNetworkRequest textRequest(const QString& url, const QString& cookie) {
    QNetworkRequest request{QUrl(url)};
    // An empty but non-null value, so that the header is sent with nothing after it.
    request.setRawHeader("Cookie", cookie.isEmpty() ? QByteArray("") : cookie.toUtf8());
    request.setRawHeader("If-Modified-Since", "0");
    // A stored cookie must never replace the one given here.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    return request;
}

// Waits, handling events, until the GET has reported.
HttpAnswer answerOf(BoundedGet& get, std::optional<HttpAnswer>& answer) {
    if (!answer) {
        QEventLoop wait;
        QObject::connect(&get, &BoundedGet::finished, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return *answer;
}

FetchedText textOf(const HttpAnswer& answer) {
    if (!answer.complete) return {};
    return {decodeHttpBody(answer.body, answer.contentType), answer.status};
}

FetchesAhead* fetchesAhead = nullptr;

} // namespace

// A GET sent ahead, and its answer once it came.
struct FetchesAhead::Sent {
    QString url;
    BoundedGet get;
    std::optional<HttpAnswer> answer;
    QElapsedTimer age; // since the answer came

    Sent(const Fetch& fetch)
        : url(fetch.url),
          get(textRequest(fetch.url, QString()), fetchLimitMs(fetch.limitSeconds) + 1) {
        QObject::connect(&get, &BoundedGet::finished, &get, [this](const HttpAnswer& a) {
            answer = a;
            age.start();
        });
    }
};

FetchesAhead::FetchesAhead(const QList<Fetch>& fetches, int freshMs) : freshMs_(freshMs) {
    for (const Fetch& fetch : fetches)
        sent_.push_back(std::make_unique<Sent>(fetch));
    fetchesAhead = this;
}

FetchesAhead::~FetchesAhead() {
    if (fetchesAhead == this) fetchesAhead = nullptr;
}

std::unique_ptr<FetchesAhead::Sent> FetchesAhead::take(const QString& url) {
    for (auto it = sent_.begin(); it != sent_.end(); ++it) {
        if ((*it)->url != url) continue;
        std::unique_ptr<Sent> sent = std::move(*it);
        sent_.erase(it);
        if (sent->answer && sent->age.elapsed() > freshMs_) return nullptr;
        return sent;
    }
    return nullptr;
}

FetchedText HttpFetchText(const QString& url, const QString& cookie, qint16 limitSeconds) {
    if (fetchesAhead && cookie.isEmpty())
        if (std::unique_ptr<FetchesAhead::Sent> sent = fetchesAhead->take(url)) {
            const FetchedText text = textOf(answerOf(sent->get, sent->answer));
            if (fetchesAhead) fetchesAhead->spent_.push_back(std::move(sent));
            return text;
        }
    // An answer that arrives just as the limit is reached still counts: the wait ends at the
    // first moment after it.
    BoundedGet get(textRequest(url, cookie), fetchLimitMs(limitSeconds) + 1);
    std::optional<HttpAnswer> answer;
    QObject::connect(&get, &BoundedGet::finished, &get, [&](const HttpAnswer& a) { answer = a; });
    return textOf(answerOf(get, answer));
}

QString HttpGetText(const QString& url, const QString& cookie, qint16 limitSeconds) {
    return HttpFetchText(url, cookie, limitSeconds).text;
}

QString HttpGetSuccessText(const QString& url, const QString& cookie, qint16 limitSeconds) {
    const FetchedText fetched = HttpFetchText(url, cookie, limitSeconds);
    return fetched.isSuccess() ? fetched.text : QString();
}

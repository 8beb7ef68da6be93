#include "httpgettext.h"

#include "platform/boundedget.h"
#include "platform/textcodec.h"

#include <QEventLoop>
#include <QNetworkRequest>

int fetchLimitMs(qint16 limitSeconds) {
    if (limitSeconds == 0) return 30'000;
    return limitSeconds < 0 ? 0 : limitSeconds * 1000;
}

FetchedText HttpFetchText(const QString& url, const QString& cookie, qint16 limitSeconds) {
    QNetworkRequest request{QUrl(url)};
    // An empty but non-null value, so that the header is sent with nothing after it.
    request.setRawHeader("Cookie", cookie.isEmpty() ? QByteArray("") : cookie.toUtf8());
    request.setRawHeader("If-Modified-Since", "0");
    // A stored cookie must never replace the one given here.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);

    // An answer that arrives just as the limit is reached still counts: the wait ends at the
    // first moment after it.
    BoundedGet get(request, fetchLimitMs(limitSeconds) + 1);
    FetchedText fetched;
    QEventLoop wait;
    QObject::connect(&get, &BoundedGet::finished, &wait, [&](const HttpAnswer& answer) {
        if (answer.complete) {
            fetched.status = answer.status;
            fetched.text = decodeHttpBody(answer.body, answer.contentType);
        }
        wait.quit();
    });
    if (!get.isFinished()) wait.exec();
    return fetched;
}

QString HttpGetText(const QString& url, const QString& cookie, qint16 limitSeconds) {
    return HttpFetchText(url, cookie, limitSeconds).text;
}

QString HttpGetSuccessText(const QString& url, const QString& cookie, qint16 limitSeconds) {
    const FetchedText fetched = HttpFetchText(url, cookie, limitSeconds);
    return fetched.isSuccess() ? fetched.text : QString();
}

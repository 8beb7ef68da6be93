#include "httpgettext.h"

#include "platform/textcodec.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

int fetchLimitMs(qint16 limitSeconds) {
    if (limitSeconds == 0) return 30'000;
    return limitSeconds < 0 ? 0 : limitSeconds * 1000;
}

namespace {

// Errors of the connection or the protocol, as opposed to an HTTP status that came with a
// page: a transfer that ended this way has no trustworthy body.
bool transferFailed(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ConnectionRefusedError &&
            error < QNetworkReply::ContentAccessDenied) ||
           (error >= QNetworkReply::ProtocolUnknownError &&
            error < QNetworkReply::InternalServerError);
}

} // namespace

QString HttpGetText(const QString& url, const QString& cookie, qint16 limitSeconds) {
    // Every call has its own manager: nothing is shared with or kept for another fetch.
    QNetworkAccessManager network;
    network.setCookieJar(nullptr);
    QNetworkRequest request{QUrl(url)};
    // An empty but non-null value, so that the header is sent with nothing after it.
    request.setRawHeader("Cookie", cookie.isEmpty() ? QByteArray("") : cookie.toUtf8());
    request.setRawHeader("If-Modified-Since", "0");
    // A stored cookie must never replace the one given here.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);

    QNetworkReply* reply = network.get(request);
    QString result;
    QEventLoop wait;
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    QObject::connect(reply, &QNetworkReply::finished, &wait, [&] {
        limit.stop();
        if (!transferFailed(reply->error()))
            result = decodeHttpBody(reply->readAll(), reply->rawHeader("Content-Type"));
        wait.quit();
    });
    // An answer that arrives just as the limit is reached still counts: the wait ends at the
    // first moment after it.
    QObject::connect(&limit, &QTimer::timeout, &wait, [&] {
        QObject::disconnect(reply, nullptr, &wait, nullptr);
        reply->abort();
        wait.quit();
    });
    limit.start(fetchLimitMs(limitSeconds) + 1);
    if (!reply->isFinished()) wait.exec();
    delete reply;
    return result;
}

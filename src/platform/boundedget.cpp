#include "boundedget.h"

#include <QNetworkReply>

namespace {

bool isWebAddress(const QUrl& url) {
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

// Errors of the connection or the protocol, as opposed to an HTTP status that came with a
// page: a transfer that ended this way has no trustworthy body.
bool transferFailed(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ConnectionRefusedError &&
            error < QNetworkReply::ContentAccessDenied) ||
           (error >= QNetworkReply::ProtocolUnknownError &&
            error < QNetworkReply::InternalServerError);
}

} // namespace

BoundedGet::BoundedGet(QNetworkRequest request, int limitMs, qint64 maxBytes, QObject* parent)
    : QObject(parent), maxBytes_(qMin(maxBytes, MaxAnswerBytes)) {
    network_.setCookieJar(nullptr);
    limit_.setSingleShot(true);
    limit_.setTimerType(Qt::PreciseTimer);
    connect(&limit_, &QTimer::timeout, this, [this] { end(false); });
    limit_.start(qMax(0, limitMs));
    if (!isWebAddress(request.url())) {
        // Never a local file or another scheme, whatever address a server line names.
        QTimer::singleShot(0, this, [this] { end(false); });
        return;
    }
    // Qt follows redirects to http and https only (never from https back to http) and fails
    // past the maximum. (Its user-verified policy is no help: in Qt 6.4 it ends a redirect loop
    // as a success and crashes on an allowed redirect.)
    request.setMaximumRedirectsAllowed(MaxRedirects);
    // Bodies come as sent: a compressed one would be unpacked in the network thread in pieces
    // of megabytes before the cap is seen.
    request.setRawHeader("Accept-Encoding", "identity");
    reply_ = network_.get(request);
    // The network thread stops reading while this much is unread, instead of filling memory.
    reply_->setReadBufferSize(64 * 1024);
    connect(reply_, &QNetworkReply::redirected, this, [this](const QUrl& to) {
        if (!isWebAddress(to)) end(false);
    });
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant announced = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (announced.isValid() && announced.toLongLong() > maxBytes_) end(false);
    });
    connect(reply_, &QNetworkReply::readyRead, this, &BoundedGet::readBody);
    connect(reply_, &QNetworkReply::finished, this, [this] {
        readBody();
        if (!finished_) end(!transferFailed(reply_->error()));
    });
}

BoundedGet::~BoundedGet() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        delete reply_;
    }
}

void BoundedGet::readBody() {
    if (finished_) return;
    const qint64 room = maxBytes_ + 1 - answer_.body.size();
    answer_.body += reply_->read(qMin(reply_->bytesAvailable(), room));
    if (answer_.body.size() > maxBytes_) end(false);
}

void BoundedGet::end(bool complete) {
    if (finished_) return;
    finished_ = true;
    limit_.stop();
    if (reply_) {
        reply_->disconnect(this);
        answer_.status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer_.contentType = reply_->rawHeader("Content-Type");
        answer_.url = reply_->url();
        if (!reply_->isFinished()) reply_->abort();
    }
    answer_.complete = complete;
    if (!complete) answer_.body.clear();
    emit finished(answer_);
}

#include "bulletinview.h"

#include "textcodec.h"

#include <QDesktopServices>
#include <QNetworkReply>
#include <QNetworkRequest>

BulletinView::BulletinView(QWidget* parent) : QTextBrowser(parent) {
    // Links open in the desktop's browser, relative ones against the page's own address.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& link) { QDesktopServices::openUrl(pageUrl_.resolved(link)); });
    network_.setCookieJar(nullptr);
}

void BulletinView::Navigate(const QUrl& url) {
    if (loading_) loading_->abort();
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    QNetworkReply* reply = network_.get(request);
    loading_ = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        // Like a browser, show whatever page the server sent, error pages included.
        if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) return;
        pageUrl_ = reply->url();
        setHtml(decodeHttpBody(reply->readAll(), reply->rawHeader("Content-Type")));
    });
}

QVariant BulletinView::loadResource(int, const QUrl&) {
    return {};
}

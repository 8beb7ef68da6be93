#include "bulletinview.h"

#include "boundedget.h"
#include "textcodec.h"

#include <QDesktopServices>
#include <QNetworkRequest>

qint64 tableLayoutWeight(QStringView html) {
    qint64 weight = 0;
    int depth = 0;
    for (qsizetype at = 0; at < html.size() && weight <= BulletinView::MaxTableWeight; ++at) {
        if (html[at] == u'<') {
            const QStringView tag = html.mid(at + 1, 6);
            if (tag.startsWith(QLatin1String("table"), Qt::CaseInsensitive))
                ++depth;
            else if (tag.startsWith(QLatin1String("/table"), Qt::CaseInsensitive) && depth > 0)
                --depth;
        }
        if (depth > 0) weight += qint64(1) << qMin(depth - 1, 40);
    }
    return weight;
}

BulletinView::BulletinView(QWidget* parent) : QTextBrowser(parent) {
    // Links open in the desktop's browser, relative ones against the page's own address. The
    // page may come from anyone on the path: a "javascript:" or "file:" link goes nowhere.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl target = pageUrl_.resolved(link);
        if (target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https"))
            QDesktopServices::openUrl(target);
    });
}

void BulletinView::Navigate(const QUrl& url, int limitMs) {
    delete loading_;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    auto* get = new BoundedGet(request, limitMs, MaxPageBytes, this);
    loading_ = get;
    connect(get, &BoundedGet::finished, this, [this, get](const HttpAnswer& answer) {
        get->deleteLater();
        // Like a browser, show whatever page the server sent, error pages included; a
        // transfer that failed or went past a bound shows nothing new.
        if (!answer.complete || answer.status == 0) return;
        const QString page = decodeHttpBody(answer.body, answer.contentType);
        if (tableLayoutWeight(page) > MaxTableWeight) return;
        pageUrl_ = answer.url;
        setHtml(page);
    });
}

bool BulletinView::isLoading() const {
    return loading_ && !loading_->isFinished();
}

QVariant BulletinView::loadResource(int, const QUrl&) {
    return {};
}

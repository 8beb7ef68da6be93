#pragma once

#include <QPointer>
#include <QTextBrowser>

class BoundedGet;

// What laying out the tables of an HTML text costs, in characters of a flat table: each
// character weighs 1 inside one table, 2 inside a table within a table, and so on, doubling with
// every level; outside tables it weighs nothing. A level opens at the "<" of "<table" and
// closes at the "<" of "</table" (also inside a comment: cautious, and cheap to find). The
// count stops early once past MaxTableWeight.
qint64 tableLayoutWeight(QStringView html);

// The embedded web view of the bulletin tab: a text browser that loads an HTML page over
// HTTP by itself. It runs no script and opens no dialog of its own; links open in the
// desktop's browser, and only http and https links.
class BulletinView : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr int DefaultLimitMs = 15'000;
    // The page is laid out on the window's thread, so its size and shape are bounded too: a
    // 256 KB table held the window up a third of a second, and each level of tables within
    // tables doubles the time (20 empty levels: 16 s; 8 levels around a 29 KB table: 14 s).
    // A bulletin is a few KB. Its tables may cost what one flat table filling the page costs.
    static constexpr qint64 MaxPageBytes = 32 * 1024;
    static constexpr qint64 MaxTableWeight = MaxPageBytes;

    explicit BulletinView(QWidget* parent = nullptr);

    // Starts loading the page and returns at once; the page replaces the shown one when it
    // has arrived. A load that fails, takes longer than limitMs or sends more than
    // MaxPageBytes, or tables heavier than MaxTableWeight, leaves the view as it was.
    void Navigate(const QUrl& url, int limitMs = DefaultLimitMs);
    bool isLoading() const;
    // Kept for the callers' sake: this view never shows dialog boxes.
    void setSilent(bool silent) { silent_ = silent; }
    bool isSilent() const { return silent_; }

protected:
    // The page is shown as text; pictures and style sheets it names are not fetched.
    QVariant loadResource(int type, const QUrl& name) override;

private:
    QPointer<BoundedGet> loading_;
    QUrl pageUrl_; // the address of the page shown
    bool silent_ = false;
};

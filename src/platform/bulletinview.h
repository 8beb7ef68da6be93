#pragma once

#include <QPointer>
#include <QTextBrowser>

class BoundedGet;

// The embedded web view of the bulletin tab: a text browser that loads an HTML page over
// HTTP by itself. It runs no script and opens no dialog of its own; links open in the
// desktop's browser, and only http and https links.
class BulletinView : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr int DefaultLimitMs = 15'000;

    explicit BulletinView(QWidget* parent = nullptr);

    // Starts loading the page and returns at once; the page replaces the shown one when it
    // has arrived. A load that fails, takes longer than limitMs or sends more than
    // MaxAnswerBytes (platform/boundedget.h) leaves the view as it was.
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

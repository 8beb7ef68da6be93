// The window as a desktop window: its size within the window manager's frame, minimising into
// the notification area and coming back, and the about tab's links to the maker's pages.
#include "frmtunrell.h"

#include "connection/dialcommands.h"
#include "placement.h"
#include "platform/platform.h"
#include "platform/programicon.h"
#include "platform/trayicon.h"
#include "platform/windowframe.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPixmap>
#include <QResource>
#include <QTimer>
#include <QWindow>

#include <utility>

// Where the window manager reports its frame, the whole window is the fixed size, frame
// included; where it reports none, the inside is.
void frmtunrell::fitIntoFrame() {
    setFixedSize(insideSize(OuterSize, frame_->extents()));
}

void frmtunrell::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

// Minimised, the window leaves the taskbar for an icon in the notification area. Without a
// notification area it stays an ordinary minimised window: hidden, it could not come back.
// Whether there is one is asked at each minimise, so one that has come since is used.
void frmtunrell::Form_Resize() {
    if (!isMinimized() || tray_->shown() || !tray_->available()) return;
    tray_->add(trayToolTip());
    trayTip_->start();
    QTimer::singleShot(0, this, [this] {
        if (tray_->shown()) hide();
    });
}

void frmtunrell::restoreFromTray() {
    minimiseOnceShown_ = false;
    minimiseLater_->stop();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    tray_->remove();
    trayTip_->stop();
}

// The notification area has gone with the icon in it: the window comes back as an ordinary
// minimised window, in the taskbar, where the user finds it.
void frmtunrell::trayHostGone() {
    trayTip_->stop();
    if (isVisible()) return;
    // Minimised by the window manager rather than by the program, a window shown again is
    // mapped as an ordinary one (KWin, Mutter): it is shown, and minimised once the window
    // manager has put it on the screen.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    minimiseOnceShown_ = true;
    // Not activated: it is to be minimised, not to take the focus from the user's work.
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    windowHandle()->installEventFilter(this);
}

void frmtunrell::bringToFront() {
    restoreFromTray();
    raise();
    activateWindow();
}

QString frmtunrell::trayToolTip() const {
    return VpnEntryName + u'\n' +
           phaseText(phase(), state_.ConnectedSeconds, state_.ReconnectPauseSeconds);
}

void frmtunrell::openLink(const QString& path) {
    const QString address = config_.siteUrl + path;
    if (platform_.launch(QStringLiteral("explorer.exe ") + address, 2) || toldNoBrowser_) return;
    toldNoBrowser_ = true;
    platform_.messageBox(QStringLiteral("无法打开浏览器,请在浏览器中访问 ") + address,
                         QStringLiteral("提示"), 0);
}

void frmtunrell::Image1_Click() {
    openLink(QString());
}

void frmtunrell::lblbbs_Click() {
    openLink(QStringLiteral("/bbs/"));
}

void frmtunrell::lblfeedback_Click() {
    openLink(QStringLiteral("/writebook.asp"));
}

bool frmtunrell::eventFilter(QObject* watched, QEvent* event) {
    // The about tab is not the one shown at start-up: its picture is not read before it is
    // needed.
    if (watched == Image1 && event->type() == QEvent::Show && Image1->pixmap().isNull()) {
        Image1->setPixmap(
            QPixmap::fromImage(decodePicture(QResource(aboutPictureFile()).uncompressedData())));
        // The tab takes its final layout at once, before anything on it is drawn or pointed at.
        Image1->parentWidget()->layout()->activate();
    }
    if (watched == windowHandle() && event->type() == QEvent::Expose && minimiseOnceShown_ &&
        windowHandle()->isExposed()) {
        minimiseOnceShown_ = false;
        minimiseLater_->start();
    }
    const bool link = watched == lblbbs || watched == lblfeedback;
    if (link && (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)) {
        // A link the pointer has touched stays red.
        auto* label = static_cast<QLabel*>(watched);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
        label->setPalette(palette);
    }
    const bool release = event->type() == QEvent::MouseButtonRelease;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    const auto* mouse = release || doubleClick ? static_cast<QMouseEvent*>(event) : nullptr;
    if (mouse && mouse->button() == Qt::LeftButton) {
        // One click, one page: the first click of a double click has opened it, the release
        // that ends the double click opens nothing.
        if (doubleClick) doubleClicked_ = watched;
        const bool endsDoubleClick = release && std::exchange(doubleClicked_, nullptr) == watched;
        // A click counts where the button comes up over the link: dragged off it, it is none.
        if (release && !endsDoubleClick &&
            static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint())) {
            if (watched == Image1) Image1_Click();
            if (watched == lblbbs) lblbbs_Click();
            if (watched == lblfeedback) lblfeedback_Click();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

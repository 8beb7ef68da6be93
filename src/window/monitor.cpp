// The connection monitor: the connect check, the drop watch and the window sweep. The tunnel
// is judged by the public address alone: another address than at start-up means it is up,
// the start-up address coming back means it has dropped.
#include "frmtunrell.h"

#include "connection/dialcommands.h"
#include "eventwait.h"
#include "platform/bulletinview.h"
#include "platform/platform.h"
#include "platform/trayicon.h"
#include "web/publicaddress.h"

#include <QAction>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

// One look at the lookup page for a tick, stored as the current address. A malformed answer
// (no address between the brackets) is looked at again once, no sooner than a second after
// the first look: a page that keeps answering so must not make a busy loop. A second error in
// the tick, or no answer, ends it. False when the tick ends.
bool frmtunrell::lookUpCurrentAddress(int& errors) {
    QElapsedTimer sinceLastLook;
    for (bool first = true;; first = false) {
        if (!first) {
            waitInEventLoop(MinLookupSpacingMs - int(sinceLastLook.elapsed()));
            if (ending_) return false;
        }
        sinceLastLook.start();
        const LookupResult result =
            LookupPublicAddress(config_.lookupUrl, config_.lookupLimitSeconds);
        if (ending_ || result.kind == LookupResult::NoAnswer) return false;
        if (result.kind == LookupResult::Malformed) {
            if (++errors > 1) return false;
            continue;
        }
        state_.CurrentPublicAddress = result.address;
        return true;
    }
}

void frmtunrell::Timer1_Timer() {
    if (ending_) return;
    // At its maximum the count stays, and the tick goes on to its lookup as after any error.
    int errors = advanceTick(state_.ConnectCheckCount) ? 0 : 1;
    if (!lookUpCurrentAddress(errors)) return;

    if (state_.CurrentPublicAddress != state_.PublicAddress) {
        LogLine(QStringLiteral("连接成功."));
        Command1->setEnabled(false);
        M_link->setEnabled(false);
        Command2->setEnabled(true);
        M_clock->setEnabled(true);
        Frame8->setEnabled(false);
        Frame2->setEnabled(false);
        showBulletin();
        switchOn(Timer2);
        switchOn(Timer4);
        LogLine(QStringLiteral("您当前的IP地址是: ") + state_.CurrentPublicAddress);
        Timer1->stop();
        state_.ConnectCheckCount = 0;
    } else if (state_.ConnectCheckCount > 40) {
        LogLine(QStringLiteral("连接失败,请稍候重试."));
        platform_.launch(HangUpCommand, 0);
        Timer1->stop();
        state_.ConnectCheckCount = 0;
        Command1->setEnabled(true); // the dial never switched M_link off
    }
}

void frmtunrell::Timer2_Timer() {
    if (ending_) return;
    int errors = 0;
    if (!lookUpCurrentAddress(errors)) return;
    if (state_.CurrentPublicAddress != state_.PublicAddress) return;

    Timer4->stop();
    Label3->setText(ClockResetText);
    state_.ConnectedSeconds = 0;
    const QString dropped = QStringLiteral("连接已断开,5分钟后可重新连接.");
    LogLine(dropped);
    if (tray_->shown()) tray_->notify(VpnEntryName, dropped);
    switchOn(Timer3);
    Timer2->stop();
    switchOn(Timer5);
    Command2->setEnabled(false);
    M_clock->setEnabled(false);
    Frame8->setEnabled(true);
    Frame2->setEnabled(true);
    showBulletin();
}

void frmtunrell::Timer3_Timer() {
    if (ending_) return;
    platform_.closeWindowsTitled(QStringLiteral("网络连接"));
    Timer3->stop();
}

void frmtunrell::showBulletin() {
    WebBrowser1->Navigate(QUrl(config_.siteUrl + QStringLiteral("/msg.htm")));
}

ConnectionPhase frmtunrell::phase() const {
    return connectionPhase({Timer1->isActive(), Timer2->isActive(), Timer3->isActive(),
                            Timer4->isActive(), Timer5->isActive()});
}

// Start-up: from the created window to the idle, not connected state.
#include "frmtunrell.h"

#include "connection/dialcommands.h"
#include "eventwait.h"
#include "placement.h"
#include "platform/bulletinview.h"
#include "platform/platform.h"
#include "platform/trayicon.h"
#include "web/httpgettext.h"
#include "web/publicaddress.h"
#include "web/serverdirectory.h"
#include "web/updatecheck.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>

void frmtunrell::Form_Load() {
    // Start-up's GETs go a second after it, whichever way it ends: each ends a network thread,
    // and the wait for that (2 ms under Wine) comes once the window has been shown and drawn.
    const auto endFetches =
        qScopeGuard([this] { QTimer::singleShot(1000, this, [this] { fetchesAhead_.reset(); }); });
    // A failure in the first steps skips the rest of them; the public address and the
    // server list are still fetched.
    try {
        // In the middle of the primary screen, wherever that screen stands on the desktop.
        move(centredIn(QGuiApplication::primaryScreen()->availableGeometry(), OuterSize));
        fillAboutPanel();
        Combo1->addItem(QStringLiteral("程序配置服务器"));
        Combo1->addItem(QStringLiteral("私人配置服务器"));
        selectConnectionType(0);
        Frame4->setEnabled(false);
        Text1->clear();
        Text2->clear();
        Text3->clear();
        WebBrowser1->Navigate(QUrl(config_.siteUrl + QStringLiteral("/msg.htm")));
        WebBrowser1->setSilent(true);
        StartPagePrompt(PromptForm::Startup);
        Command2->setEnabled(false);
        M_clock->setEnabled(false);
        // While the first answer is on its way, the system makes the window, still hidden:
        // the slowest part of showing it, done during a wait instead of after the last one.
        QTimer::singleShot(0, this, [this] { winId(); });
        // The version, the lookup and the list are asked for at once: all three answers come
        // during that wait, not one after another once the window is made.
        fetchesAhead_ = std::make_unique<FetchesAhead>(QList<FetchesAhead::Fetch>{
            {versionFileUrl(config_.siteUrl), VersionLimitSeconds},
            {lookupPageUrl(config_.lookupUrl), config_.lookupLimitSeconds},
            {serverListUrl(config_.siteUrl), 15}});
        waitingFor(QStringLiteral("正在检查软件版本,请稍候......"));
        CheckForUpdate(config_.siteUrl,
                       runningVersionText(config_.versionMajor, config_.versionMinor), platform_,
                       [this](const QString& line) { LogLine(line); });
    } catch (const std::exception&) {
    }
    waitingFor(QStringLiteral("正在获取您的IP地址,请稍候......"));
    if (ending_ || !findPublicAddress()) return;
    LogLine(QStringLiteral("您当前的IP地址是: ") + state_.PublicAddress);
    waitingFor(QStringLiteral("正在获取服务器列表,请稍候......"));
    Command3_Click();
    startupNotice_->stop();
    if (ending_) return;
    // Idle, whatever the first steps skipped: "连接" on, "断开" off.
    startupDone_ = true;
    Command1->setEnabled(true);
    M_link->setEnabled(true);
    List1->setEnabled(true);
    Command2->setEnabled(false);
    M_clock->setEnabled(false);
}

void frmtunrell::showAfterStartup() {
    // Minimised into the tray while start-up waited on the network: hidden, with the icon.
    if (tray_->shown()) return;
    show();
}

// Start-up that has waited on the network for 2 s shows the window and says what it waits
// for; the clock starts with the first wait.
void frmtunrell::waitingFor(const QString& what) {
    waitingFor_ = what;
    if (startupNotice_) return;
    startupNotice_ = new QTimer(this);
    startupNotice_->setSingleShot(true);
    startupNotice_->setTimerType(Qt::PreciseTimer);
    connect(startupNotice_, &QTimer::timeout, this, [this] {
        if (isVisible() || ending_) return;
        show();
        LogLine(waitingFor_);
    });
    startupNotice_->start(2000);
}

void frmtunrell::fillAboutPanel() {
    lbltitle->setText(QStringLiteral("名称 ") + VpnEntryName);
    lblversion->setText(QStringLiteral("版本 %1.%2.%3")
                            .arg(config_.versionMajor)
                            .arg(config_.versionMinor)
                            .arg(config_.versionRevision));
    lblmsg1[0]->setText(QStringLiteral("功能 提高转网速度,突破网络限制."));
    lblmsg1[1]->setText(QStringLiteral("设计 Miravon软件工作室"));
    lblmsg1[2]->setText(QStringLiteral("主页 ") + config_.siteUrl);
    lblmsg1[3]->setText(QStringLiteral("邮件 ") + config_.email);
}

// Asks the lookup page until it gives a non-empty address: the connection monitor compares
// against it. While it gives none, the window is shown with one line saying so, and the
// user can quit through the usual confirmation.
bool frmtunrell::findPublicAddress() {
    bool announced = false;
    for (;;) {
        QElapsedTimer attempt;
        attempt.start();
        const LookupResult result =
            LookupPublicAddress(config_.lookupUrl, config_.lookupLimitSeconds);
        if (ending_) return false;
        if (result.kind == LookupResult::Address && !result.address.isEmpty()) {
            state_.PublicAddress = result.address;
            return true;
        }
        if (!announced) {
            show();
            LogLine(QStringLiteral("未能获取您的IP地址,正在重新获取,请检查网络连接......"));
            announced = true;
        }
        waitInEventLoop(MinLookupSpacingMs - int(attempt.elapsed()));
        if (ending_) return false;
    }
}

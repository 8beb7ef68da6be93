// Connecting: the phonebook entry, the two dial routines and the connect command.
#include "frmtunrell.h"

#include "connection/dialcommands.h"
#include "connection/markerpassword.h"
#include "connection/rasrecords.h"
#include "platform/platform.h"
#include "web/httpgettext.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

bool frmtunrell::Create_VPN_Connection(const QString& entryName, const QString& serverAddress,
                                       const QString& /*userName*/, const QString& /*password*/) {
    // The dial passes user name and password on its command line; the entry stores none.
    const auto entry = buildRasEntry(serverAddress);
    if (!entry || !platform_.setEntryProperties(entryName, *entry)) return false;
    return platform_.setCredentials(entryName, buildEmptyRasCredentials());
}

void frmtunrell::DialConfiguredServer() {
    dial(state_.ServerAddress, state_.ServerAccount, state_.ServerPassword);
}

void frmtunrell::DialPrivateServer() {
    const QString address = Text3->text();
    const QString userName = Text1->text();
    const QString password = Text2->text();
    dial(address, userName, password);
}

void frmtunrell::dial(const QString& serverAddress, const QString& userName,
                      const QString& password) {
    if (!Create_VPN_Connection(VpnEntryName, serverAddress, QString(), QString())) {
        LogLine(QStringLiteral("建立连接失败,系统可能不兼容. "));
        return;
    }
    LogLine(QStringLiteral("正在连接,请稍候.......... "));
    platform_.launch(dialCommandLine(userName, password), 0);
    switchOn(Timer1);
}

void frmtunrell::Command1_Click() {
    // Until start-up has the public address there is nothing to tell a new address from.
    if (!startupDone_) return;
    Command1->setEnabled(false);
    if (Combo1->currentIndex() != 0) {
        if (Text1->text().isEmpty() || Text2->text().isEmpty() || Text3->text().isEmpty()) {
            LogLine(QStringLiteral("自定义服务器信息不完整,连接失败 ..."));
            return;
        }
        DialPrivateServer();
        return;
    }
    const QString marker = state_.ServerAccount;
    if (!isAccountMarker(marker)) {
        DialConfiguredServer();
        return;
    }
    // Every connect fetches the page its server line names, so that a second connect on the
    // same server gets a fresh password, too.
    // An error or portal page holds no password: the connect fails as without an answer.
    const QString page = HttpGetSuccessText(state_.ServerPasswordPage, QString(), 15);
    if (ending_) return;
    if (page.isEmpty()) {
        LogLine(QStringLiteral("连接服务器失败,请稍候再试..."));
        Command1->setEnabled(true);
        return;
    }
    const QString password = cutMarkerPassword(page, marker);
    if (marker == QLatin1String("cvpn"))
        state_.CvpnPassword = password;
    else if (marker == QLatin1String("uvpn"))
        state_.UvpnPassword = password;
    else
        state_.AvpnPassword = password;
    state_.ServerPassword = password;
    DialConfiguredServer();
}

// A timer already running keeps its rhythm.
void frmtunrell::switchOn(QTimer* timer) {
    if (!timer->isActive()) timer->start();
}

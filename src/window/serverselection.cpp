// The server list: loading it, choosing a server and choosing the connection type.
#include "frmtunrell.h"

#include "platform/platform.h"
#include "web/httpgettext.h"
#include "web/serverdirectory.h"

#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QSignalBlocker>

void frmtunrell::Command3_Click() {
    // An error or portal page is no list: it would give junk servers or end the program.
    state_.ServerListText = HttpGetSuccessText(serverListUrl(config_.siteUrl), QString(), 15);
    if (ending_) return;
    const ServerList list = parseServerList(state_.ServerListText);
    if (!list.reached) {
        LogLine(QStringLiteral("服务器连接失败,请稍候重试......"));
        return;
    }
    LogLine(QStringLiteral("服务器连接成功,服务器载入中......"));
    if (list.servers.isEmpty()) {
        // Something answered, but not with a server list: nothing can be offered.
        LogLine(QStringLiteral("服务器信息获取失败,请稍候重试."));
        platform_.endProgram(1);
        return;
    }
    // A second load appends to what is listed.
    for (const ServerEntry& server : list.servers) {
        List1->addItem(server.name);
        Serverlst->addItem(server.data);
    }
    LogLine(QStringLiteral("成功获取服务器信息 %1台").arg(list.servers.size()));
    selectServer(0);
    Serverlst->setCurrentRow(0);
}

void frmtunrell::List1_Click() {
    Serverlst->setCurrentRow(List1->currentRow());
    const QListWidgetItem* selected = Serverlst->currentItem();
    // Data outside the format leaves the last server's fields as they were.
    if (const auto server = cutServerData(selected ? selected->text() : QString())) {
        state_.ServerAddress = server->address;
        state_.ServerAccount = server->account;
        state_.ServerPassword = server->password;
        state_.ServerPasswordPage = server->password;
    }
}

void frmtunrell::Combo1_Click() {
    const bool listed = Combo1->currentIndex() == 0;
    Frame1->setEnabled(listed);
    Frame4->setEnabled(!listed);
}

// Selecting from code runs the handler as a click does, also when the selection stays.
void frmtunrell::selectConnectionType(int index) {
    {
        const QSignalBlocker quiet(Combo1);
        Combo1->setCurrentIndex(index);
    }
    Combo1_Click();
}

void frmtunrell::selectServer(int row) {
    {
        const QSignalBlocker quiet(List1);
        List1->setCurrentRow(row);
    }
    List1_Click();
}

// "断开": hangs up after a confirmation; a listed server then has its five-minute pause.
#include "frmtunrell.h"

#include "connection/dialcommands.h"
#include "platform/platform.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

void frmtunrell::Command2_Click() {
    if (platform_.messageBox(QStringLiteral("您确定断开连接吗?"), QStringLiteral("断开提示"), 33) !=
        1)
        return;
    // No check whether the connection is still up: a drop seen meanwhile keeps its pause.
    Timer2->stop();
    Timer4->stop();
    Label3->setText(ClockResetText);
    state_.ConnectedSeconds = 0;
    platform_.launch(HangUpCommand, 0);
    if (Combo1->currentIndex() == 0) {
        LogLine(QStringLiteral("断开成功,5分钟后可重新连接."));
        switchOn(Timer5);
    } else {
        LogLine(QStringLiteral("断开成功."));
        Command1->setEnabled(true);
        M_link->setEnabled(true);
    }
    Command2->setEnabled(false);
    M_clock->setEnabled(false);
    Frame8->setEnabled(true);
    Frame2->setEnabled(true);
    showBulletin();
}

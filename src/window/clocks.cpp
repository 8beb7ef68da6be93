// The connection clock with its time limit, and the five-minute reconnect pause.
#include "frmtunrell.h"

#include "connection/dialcommands.h"
#include "platform/platform.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

void frmtunrell::Timer4_Timer() {
    if (ending_) return;
    Label3->setText(clockLabel(ConnectionClockPrefix, state_.ConnectedSeconds));
    // After about nine hours the count stays at its largest value, and so does the label.
    advanceTick(state_.ConnectedSeconds);
    // Equality: the limit hangs up once; the drop watch then sees the connection go.
    if (state_.ConnectedSeconds == connectionLimitTicks(state_.ServerAccount))
        platform_.launch(HangUpCommand, 0);
}

void frmtunrell::Timer5_Timer() {
    if (ending_) return;
    Label3->setText(clockLabel(PauseClockPrefix, state_.ReconnectPauseSeconds));
    ++state_.ReconnectPauseSeconds;
    if (state_.ReconnectPauseSeconds == ReconnectPauseTicks) {
        Label3->setText(ClockResetText);
        Command1->setEnabled(true);
        M_link->setEnabled(true);
        Timer5->stop();
        state_.ReconnectPauseSeconds = 0;
    }
}

#pragma once

#include <QString>
#include <QtGlobal>

// The connection-time label: a tick count as minutes "-" seconds, no leading zeros, no hours
// ("连接计时: 1-5" for 65).
QString clockLabel(const QString& prefix, qint16 ticks);
inline const QString ConnectionClockPrefix = QStringLiteral("连接计时: ");
inline const QString PauseClockPrefix = QStringLiteral("重连计时: ");
inline const QString ClockResetText = QStringLiteral("连接计时: 0-0");

// Adds one to a 16-bit tick counter unless it stands at its largest value (32767), where it
// stays. False when it stayed.
bool advanceTick(qint16& counter);

// The tick at which a connection is hung up: 18 minutes for the accounts "uvpn" and "avpn"
// (exactly), 28 for every other account.
qint16 connectionLimitTicks(const QString& account);

// The ticks of the reconnect pause: five minutes.
constexpr qint16 ReconnectPauseTicks = 300;

// Where a connection stands. It is never stored: it follows from the timers that run.
enum class ConnectionPhase { Idle, Dialing, Connected, ReconnectPause };

struct RunningTimers {
    bool connectCheck = false;    // Timer1
    bool dropWatch = false;       // Timer2
    bool windowSweep = false;     // Timer3
    bool connectionClock = false; // Timer4
    bool reconnectPause = false;  // Timer5
};
ConnectionPhase connectionPhase(const RunningTimers& timers);

// The phase in a few words, with the time of the clock that runs in it.
QString phaseText(ConnectionPhase phase, qint16 connectedTicks, qint16 pauseTicks);

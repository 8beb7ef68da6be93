#include "clocks.h"

#include <limits>

QString clockLabel(const QString& prefix, qint16 ticks) {
    return prefix + QString::number(ticks / 60) + u'-' + QString::number(ticks % 60);
}

bool advanceTick(qint16& counter) {
    if (counter == std::numeric_limits<qint16>::max()) return false;
    ++counter;
    return true;
}

qint16 connectionLimitTicks(const QString& account) {
    const bool short_ = account == QLatin1String("uvpn") || account == QLatin1String("avpn");
    return short_ ? 1080 : 1680;
}

ConnectionPhase connectionPhase(const RunningTimers& timers) {
    if (timers.connectCheck) return ConnectionPhase::Dialing;
    if (timers.dropWatch || timers.connectionClock) return ConnectionPhase::Connected;
    if (timers.reconnectPause || timers.windowSweep) return ConnectionPhase::ReconnectPause;
    return ConnectionPhase::Idle;
}

QString phaseText(ConnectionPhase phase, qint16 connectedTicks, qint16 pauseTicks) {
    switch (phase) {
    case ConnectionPhase::Idle:
        return QStringLiteral("未连接");
    case ConnectionPhase::Dialing:
        return QStringLiteral("正在连接......");
    case ConnectionPhase::Connected:
        return QStringLiteral("已连接, ") + clockLabel(ConnectionClockPrefix, connectedTicks);
    case ConnectionPhase::ReconnectPause:
        return QStringLiteral("等待重连, ") + clockLabel(PauseClockPrefix, pauseTicks);
    }
    return QString();
}

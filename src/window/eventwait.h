#pragma once

#include <QEventLoop>
#include <QTimer>

// Looks at the lookup page at most once a second when it repeats at once: a host that
// refuses at once or answers "[]" must not turn the repeats into a busy loop.
constexpr int MinLookupSpacingMs = 1000;

// Waits ms milliseconds while the window keeps handling its events.
inline void waitInEventLoop(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// The text up to (not including) its first NUL character; the text unchanged when it holds
// none. Window titles read from the system may carry a NUL and whatever follows it.
QString TrimAtNul(const QString& text);

// What the sweep of top-level windows needs of a window system.
class TopLevelWindows {
public:
    using Handle = quint32;
    virtual ~TopLevelWindows() = default;

    // Every top-level window once, up to a bound.
    virtual QList<Handle> list() = 0;
    // The window's title as stored, up to a bound; empty when it has none.
    virtual QString title(Handle window) = 0;
    // Queues a request that the window close itself; does not wait for it.
    virtual void askToClose(Handle window) = 0;
};

// The per-window step of the sweep: asks `window` to close when its title, cut at its first
// NUL, is exactly `wanted`. Returns true so that the sweep goes on to the next window.
bool CloseNetworkWindowProc(TopLevelWindows& windows, TopLevelWindows::Handle window,
                            const QString& wanted);

// Runs CloseNetworkWindowProc over every top-level window, while it returns true.
void closeWindowsTitled(TopLevelWindows& windows, const QString& wanted);

#include "platform/windowsweep.h"

QString TrimAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

bool CloseNetworkWindowProc(TopLevelWindows& windows, TopLevelWindows::Handle window,
                            const QString& wanted) {
    if (TrimAtNul(windows.title(window)) == wanted) windows.askToClose(window);
    return true;
}

void closeWindowsTitled(TopLevelWindows& windows, const QString& wanted) {
    for (const TopLevelWindows::Handle window : windows.list())
        if (!CloseNetworkWindowProc(windows, window, wanted)) break;
}

#include "platform/windows/toplevelwindows.h"

#include "platform/ansi.h"

#include <windows.h>

#include <cstdint>

namespace {

HWND toHwnd(TopLevelWindows::Handle window) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

BOOL CALLBACK collect(HWND window, LPARAM into) {
    auto* windows = reinterpret_cast<QList<TopLevelWindows::Handle>*>(into);
    windows->append(TopLevelWindows::Handle(reinterpret_cast<std::uintptr_t>(window)));
    return windows->size() < Win32TopLevelWindows::MaxWindows;
}

} // namespace

QList<TopLevelWindows::Handle> Win32TopLevelWindows::list() {
    QList<Handle> windows;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

QString Win32TopLevelWindows::title(Handle window) {
    char text[MaxTitleBytes] = {};
    const int length = GetWindowTextA(toHwnd(window), text, MaxTitleBytes);
    return fromAnsi(QByteArray(text, length > 0 ? length : 0));
}

void Win32TopLevelWindows::askToClose(Handle window) {
    PostMessageA(toHwnd(window), WM_CLOSE, 0, 0);
}

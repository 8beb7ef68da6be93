#pragma once

#include "platform/windowsweep.h"

// The desktop's top-level windows as user32 lists them (EnumWindows), their titles in the ANSI
// code page (GetWindowTextA), and the close request WM_CLOSE posted to them (PostMessageA),
// which their owners answer as if the user had clicked the close box. A window handle fits in
// 32 bits on every Windows, so that 64-bit and 32-bit programs can hand them to each other.
class Win32TopLevelWindows final : public TopLevelWindows {
public:
    // Bounds on what a sweep reads from a desktop that may hold anything.
    static constexpr int MaxWindows = 4096;
    static constexpr int MaxTitleBytes = 1024;

    QList<Handle> list() override;
    QString title(Handle window) override;
    void askToClose(Handle window) override;
};

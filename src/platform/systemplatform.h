#pragma once

#include "platform/messagebox.h"
#include "platform/platform.h"
#include "platform/registry.h"

#include <cstdio>
#include <cstdlib>

// What every real system's platform does alike: Qt's message boxes, the registry values (the
// real registry on Windows, the per-user file elsewhere) and the immediate end of the process.
class SystemPlatform : public Platform {
public:
    int messageBox(const QString& text, const QString& title, int style) override {
        return showMessageBox(text, title, style);
    }

    std::optional<QString> regRead(const QString& path) override { return readRegistryValue(path); }

    bool regWrite(const QString& path, const QString& data, const QString& type) override {
        return writeRegistryValue(path, data, type);
    }

    void endProgram(int status) override {
        std::fflush(nullptr);
        std::_Exit(status);
    }
};

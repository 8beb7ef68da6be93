// The platform on Linux desktops: Qt message boxes, detached processes, the per-user file
// that holds the few registry values the connector uses, and X11 window sweeps.
#include "platform/commandline.h"
#include "platform/linux/phonebookfile.h"
#include "platform/linux/phonebookstore.h"
#include "platform/linux/x11windows.h"
#include "platform/platform.h"
#include "platform/registry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <cstdio>
#include <cstdlib>

namespace {

class LinuxPlatform final : public Platform {
public:
    int messageBox(const QString& text, const QString& title, int style) override {
        QMessageBox box(style & 32 ? QMessageBox::Question : QMessageBox::NoIcon, title, text);
        if (style & 1) {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
        }
        box.setWindowModality(Qt::ApplicationModal);
        return box.exec() == QMessageBox::Ok ? 1 : 2;
    }

    bool launch(const QString& commandLine, int) override {
        // Linux has no window to hide or minimise for a detached program: the show state
        // is for the desktop to decide.
        const LaunchTarget target =
            resolveLaunch(commandLine, QCoreApplication::applicationDirPath());
        if (!target.program.isEmpty() && QProcess::startDetached(target.program, target.arguments))
            return true;
        std::fprintf(stderr, "miravon-vpn: cannot start %s\n",
                     qPrintable(target.program.isEmpty() ? commandLine : target.program));
        return false;
    }

    std::optional<QString> regRead(const QString& path) override { return readRegistryValue(path); }

    bool regWrite(const QString& path, const QString& data, const QString& type) override {
        return writeRegistryValue(path, data, type);
    }

    bool setEntryProperties(const QString& entryName, const QByteArray& rasEntry) override {
        return storeEntryProperties(phonebook::defaultPath(), entryName, rasEntry);
    }

    bool setCredentials(const QString& entryName, const QByteArray& rasCredentials) override {
        return storeCredentials(phonebook::defaultPath(), entryName, rasCredentials);
    }

    // Only X11 lets one program see and close another's windows; on Wayland or without a
    // screen there is nothing to sweep.
    void closeWindowsTitled(const QString& title) override {
        if (!qGuiApp) return;
        const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11 || !x11->connection()) return;
        X11TopLevelWindows windows(x11->connection());
        ::closeWindowsTitled(windows, title);
    }

    void endProgram(int status) override {
        std::fflush(nullptr);
        std::_Exit(status);
    }
};

} // namespace

std::unique_ptr<Platform> createPlatform() {
    return std::make_unique<LinuxPlatform>();
}

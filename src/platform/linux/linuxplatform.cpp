// The platform on Linux desktops: Qt message boxes, detached processes, and a per-user file
// that holds the few registry values the connector uses.
#include "platform/commandline.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

namespace {

// The registry file: $XDG_CONFIG_HOME/MiravonVPN/registry.ini, written only when a value is.
QString registryFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/MiravonVPN/registry.ini");
}

// "HKEY_CURRENT_USER\Software\X\Start page" becomes the settings key
// "HKEY_CURRENT_USER/Software/X/Start page"; an empty part makes the path unusable.
std::optional<QString> settingsKey(const QString& path) {
    const QStringList parts = path.split(u'\\');
    if (parts.size() < 2 || parts.contains(QString())) return std::nullopt;
    return parts.join(u'/');
}

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
        if (target.program.isEmpty()) return false;
        return QProcess::startDetached(target.program, target.arguments);
    }

    std::optional<QString> regRead(const QString& path) override {
        const auto key = settingsKey(path);
        if (!key) return std::nullopt;
        const QSettings settings(registryFile(), QSettings::IniFormat);
        const QVariant value = settings.value(*key);
        if (!value.isValid()) return std::nullopt;
        return value.toString();
    }

    bool regWrite(const QString& path, const QString& data, const QString& type) override {
        const auto key = settingsKey(path);
        if (!key || type != QLatin1String("REG_SZ")) return false;
        QSettings settings(registryFile(), QSettings::IniFormat);
        settings.setValue(*key, data);
        settings.sync();
        return settings.status() == QSettings::NoError;
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

#include "platform/endsignals.h"
#include "platform/platform.h"
#include "platform/singleinstance.h"
#include "window/frmtunrell.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("miravon-vpn"));
    // A connector already runs for this user: it comes to the front, this start ends.
    SingleInstance instance(SingleInstance::defaultSocketPath());
    if (!instance.claim()) return 0;

    // Qt's own Chinese texts, so that standard buttons read 确定 and 取消.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    const std::unique_ptr<Platform> platform = createPlatform();
    frmtunrell window(AppConfig::compiledIn(), *platform);
    // Brought to the front, from the tray too; during start-up only once it has been shown
    // (a start-up held up on the network shows it early, and it may be minimised since).
    bool startedUp = false;
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, [&] {
        if (startedUp || window.isVisible() || window.isMinimized()) window.bringToFront();
    });
    // A shutdown, kill or a closed terminal hangs up as the confirmed exit does.
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::received, &window, &frmtunrell::endWithoutQuestion);
    window.Form_Load();
    window.show();
    startedUp = true;
    return app.exec();
}

#include "platform/endsignals.h"
#include "platform/platform.h"
#include "platform/sessionbus.h"
#include "platform/singleinstance.h"
#include "window/frmtunrell.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QTime>
#include <QTranslator>

#include <cstdio>

int main(int argc, char* argv[]) {
    // Before Qt's first question to D-Bus, which comes with the application object.
    keepOffUnreachableSessionBus();
    // The program's name is the one of its files, its desktop entry and its X11 window class
    // (which X defines as Latin-1); people read the window's title. No display name: Qt would
    // append it to every window's title, the question boxes' own titles too.
    QCoreApplication::setApplicationName(QStringLiteral("miravon-vpn"));
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("miravon-vpn"));
    // The log stays in the window unless asked for: it holds the public address and the
    // tunnel's, and desktop sessions keep whatever a program writes to standard error.
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("PPTP VPN connector"));
    options.addHelpOption();
    const QCommandLineOption logToStderr(
        QStringLiteral("log-to-stderr"),
        QStringLiteral("Also write every line of the message log to standard error."));
    options.addOption(logToStderr);
    options.process(app);

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
    if (options.isSet(logToStderr))
        QObject::connect(&window, &frmtunrell::lineLogged, [](const QString& line) {
            std::fprintf(stderr, "%s %s\n",
                         qPrintable(QTime::currentTime().toString(u"HH:mm:ss.zzz")),
                         line.toUtf8().constData());
        });
    // Brought to the front, from the tray too; during start-up only once it has been shown
    // (a start-up held up on the network shows it early, and it may be minimised since).
    bool startedUp = false;
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, [&] {
        if (startedUp || window.isVisible() || window.isMinimized()) window.bringToFront();
    });
    // A shutdown, kill or a closed terminal hangs up as the confirmed exit does.
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::received, &window, &frmtunrell::endWithoutQuestion);
    QObject::connect(&endSignals, &EndSignals::endQuery, &window,
                     [&window](bool* keep) { *keep = window.sessionEndQuery(); });
    window.Form_Load();
    window.showAfterStartup();
    startedUp = true;
    return app.exec();
}

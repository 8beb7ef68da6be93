#include "platform/platform.h"
#include "window/frmtunrell.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Qt's own Chinese texts, so that standard buttons read 确定 and 取消.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    const std::unique_ptr<Platform> platform = createPlatform();
    frmtunrell window(AppConfig::compiledIn(), *platform);
    window.Form_Load();
    window.show();
    return app.exec();
}

// The offer to make the maker's navigation page the browser's start page.
#include "frmtunrell.h"

#include "platform/platform.h"

namespace {

const QString StartPageValue =
    QStringLiteral(R"(HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main\Start page)");
const QString Title = QStringLiteral("提示");
const QString Thanks = QStringLiteral("感谢您对Miravon软件的支持,Miravon软件有您而精彩.");

} // namespace

void frmtunrell::StartPagePrompt(PromptForm form) {
    const bool fromMenu = form == PromptForm::Menu;
    const QString cannot = QStringLiteral("无法读取或设置浏览器主页.");
    const QString navigationPage = config_.siteUrl + QStringLiteral("/dh.htm");

    // A value that cannot be read or written ends the prompt; start-up says nothing of it.
    const std::optional<QString> startPage = platform_.regRead(StartPageValue);
    if (!startPage) {
        if (fromMenu) platform_.messageBox(cannot, Title, 0);
        return;
    }
    if (*startPage == navigationPage) {
        if (fromMenu) platform_.messageBox(Thanks, Title, 0);
        return;
    }
    const QString ask = QStringLiteral(
        "请点击[确定]按钮已表示您对Miravon软件的支持,它将会修改浏览器主页为[Miravon上网导航],"
        "更好的为您服务.");
    if (platform_.messageBox(ask, Title, 1) == 1) {
        platform_.messageBox(Thanks, Title, 0);
        if (!platform_.regWrite(StartPageValue, navigationPage, QStringLiteral("REG_SZ")) &&
            fromMenu)
            platform_.messageBox(cannot, Title, 0);
    } else {
        platform_.messageBox(QStringLiteral("您未支持Miravon软件开发,[支持提示]会在下次使用时显示,"
                                            "软件无任何限制,可正常使用."),
                             Title, 0);
    }
}

void frmtunrell::M_Ct_Click() {
    try {
        StartPagePrompt(PromptForm::Menu);
    } catch (const PlatformError&) {
        // A message box that cannot be shown must not end the program.
    }
}

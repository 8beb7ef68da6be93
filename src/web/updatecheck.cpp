#include "updatecheck.h"

#include "httpgettext.h"
#include "platform/platform.h"

UpdateOutcome compareVersions(const QString& published, const QString& running) {
    if (published == running) return UpdateOutcome::Current;
    return published.isEmpty() ? UpdateOutcome::Unreachable : UpdateOutcome::Outdated;
}

QString runningVersionText(int major, int minor) {
    return QString::number(major) + u'.' + QString::number(minor);
}

UpdateOutcome CheckForUpdate(const QString& siteUrl, const QString& runningVersion,
                             Platform& platform, const std::function<void(const QString&)>& log) {
    const QString published =
        HttpGetSuccessText(versionFileUrl(siteUrl), QString(), VersionLimitSeconds);
    const UpdateOutcome outcome = compareVersions(published, runningVersion);
    switch (outcome) {
    case UpdateOutcome::Current:
        log(QStringLiteral("程序初始化成功......."));
        break;
    case UpdateOutcome::Unreachable:
        log(QStringLiteral("您所处的网络环境可能不稳定,建议更换网络环境。"));
        break;
    case UpdateOutcome::Outdated:
        try {
            platform.messageBox(QStringLiteral("您使用的版本已过期,建议下载最新版本。"),
                                QStringLiteral("升级提示"), 32);
        } catch (const PlatformError&) {
            // The check carries on: the home page still opens.
        }
        platform.launch(QStringLiteral("explorer.exe ") + siteUrl, 2);
        break;
    }
    return outcome;
}

#pragma once

#include <QString>
#include <functional>

class Platform;

enum class UpdateOutcome {
    Current,     // the published version is exactly the running one
    Unreachable, // nothing could be read
    Outdated,    // any other text: newer, older, a line break more, an error page
};

// Versions are compared as whole texts: no trimming and no ordering.
UpdateOutcome compareVersions(const QString& published, const QString& running);

// The running version as the version file states it: major "." minor.
QString runningVersionText(int major, int minor);

// The address of the version file on the maker's web host, and how long it is waited for.
inline QString versionFileUrl(const QString& siteUrl) {
    return siteUrl + QStringLiteral("/version/tunrell.txt");
}
constexpr qint16 VersionLimitSeconds = 15;

// Reads the version file of the maker's site and tells the user: a log line when it matches
// or cannot be read (an answer with a status other than 2xx is not read), otherwise a prompt
// and the maker's home page in the browser.
UpdateOutcome CheckForUpdate(const QString& siteUrl, const QString& runningVersion,
                             Platform& platform, const std::function<void(const QString&)>& log);

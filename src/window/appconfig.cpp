#include "appconfig.h"

AppConfig AppConfig::compiledIn() {
    AppConfig config;
    config.siteUrl = QStringLiteral(MIRAVON_SITE_URL);
    config.lookupUrl = QStringLiteral(MIRAVON_IPLOOKUP_URL);
    config.email = QStringLiteral(MIRAVON_EMAIL);
    config.versionMajor = MIRAVON_VERSION_MAJOR;
    config.versionMinor = MIRAVON_VERSION_MINOR;
    config.versionRevision = MIRAVON_VERSION_REVISION;
    return config;
}

#pragma once

#include <QString>
#include <QtGlobal>

// What a build of the connector is configured with. The program uses the values compiled in;
// tests build the window with addresses of their own.
struct AppConfig {
    QString siteUrl;   // the maker's web host, without a trailing slash
    QString lookupUrl; // the IP lookup host, without a trailing slash
    QString email;     // the maker's contact address
    int versionMajor = 0;
    int versionMinor = 0;
    int versionRevision = 0;
    qint16 lookupLimitSeconds = 20; // how long one look at the lookup page may wait

    static AppConfig compiledIn();
};

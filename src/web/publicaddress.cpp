#include "publicaddress.h"

#include "httpgettext.h"

LookupResult cutBracketAddress(const QString& page) {
    const qsizetype open = page.indexOf(u'[');
    if (open < 0) return {};
    const qsizetype close = page.indexOf(u']');
    if (close < open) return {LookupResult::Malformed, {}};
    return {LookupResult::Address, page.mid(open + 1, close - open - 1)};
}

QString lookupPageUrl(const QString& lookupHost) {
    return lookupHost + QStringLiteral("/ip2city.asp");
}

LookupResult LookupPublicAddress(const QString& lookupHost, qint16 limitSeconds) {
    return cutBracketAddress(HttpGetText(lookupPageUrl(lookupHost), QString(), limitSeconds));
}

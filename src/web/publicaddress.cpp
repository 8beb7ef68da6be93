#include "publicaddress.h"

#include "httpgettext.h"

#include <QHostAddress>

namespace {

bool isIpv4Address(QStringView text) {
    int parts = 0;
    for (QStringView part : text.split(u'.')) {
        if (++parts > 4 || part.isEmpty() || part.size() > 3) return false;
        int value = 0;
        for (const QChar c : part) {
            if (c < u'0' || c > u'9') return false;
            value = value * 10 + (c.unicode() - u'0');
        }
        if (value > 255) return false;
    }
    return parts == 4;
}

bool isIpv6Address(QStringView text) {
    // QHostAddress also takes scope names ("%eth0") and blanks; an address has neither.
    for (const QChar c : text) {
        const bool hexDigit =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!hexDigit && c != u':' && c != u'.') return false;
    }
    const QHostAddress address(text.toString());
    return text.contains(u':') && address.protocol() == QAbstractSocket::IPv6Protocol;
}

} // namespace

bool isIpAddress(QStringView text) {
    return isIpv4Address(text) || isIpv6Address(text);
}

LookupResult cutBracketAddress(const QString& page) {
    const qsizetype open = page.indexOf(u'[');
    if (open < 0) return {};
    const qsizetype close = page.indexOf(u']');
    if (close < open) return {LookupResult::Malformed, {}};
    const QString between = page.mid(open + 1, close - open - 1).trimmed();
    if (!isIpAddress(between)) return {LookupResult::Malformed, {}};
    return {LookupResult::Address, between};
}

QString lookupPageUrl(const QString& lookupHost) {
    return lookupHost + QStringLiteral("/ip2city.asp");
}

LookupResult LookupPublicAddress(const QString& lookupHost, qint16 limitSeconds) {
    return cutBracketAddress(HttpGetText(lookupPageUrl(lookupHost), QString(), limitSeconds));
}

#include "markerpassword.h"

bool isAccountMarker(const QString& account) {
    return account == QLatin1String("cvpn") || account == QLatin1String("uvpn") ||
           account == QLatin1String("avpn");
}

QString cutMarkerPassword(const QString& page, const QString& marker) {
    // In 1-based positions the password stands at p + 88 … p + 91, p being the marker's
    // position, or 0 when the page does not hold it.
    const qsizetype p = page.indexOf(marker) + 1;
    const qsizetype start = p + 88 - 1;
    if (start >= page.size()) return QString();
    return page.mid(start, 4);
}

// A marker server's password page, as whoever answers for its address sends it. The input's
// first byte chooses the marker.
#include "connection/markerpassword.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const QString markers[] = {QStringLiteral("cvpn"), QStringLiteral("uvpn"),
                                      QStringLiteral("avpn")};
    const QString& marker = markers[data[0] % 3];
    const QString page = fuzzText(data + 1, size - 1);
    const QString password = cutMarkerPassword(page, marker);
    FUZZ_CHECK(password.size() <= 4 && page.contains(password));
    const qsizetype at = page.indexOf(marker);
    const qsizetype start = (at < 0 ? 0 : at + 1) + 87;
    if (start + 4 <= page.size()) FUZZ_CHECK(password == page.mid(start, 4));
    return 0;
}

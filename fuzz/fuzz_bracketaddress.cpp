// The IP lookup page, or whatever page a portal or proxy puts in its place.
#include "fuzzcheck.h"
#include "web/publicaddress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString page = fuzzText(data, size);
    const LookupResult result = cutBracketAddress(page);
    FUZZ_CHECK((result.kind == LookupResult::NoAnswer) == !page.contains(u'['));
    if (result.kind == LookupResult::Address) {
        FUZZ_CHECK(isIpAddress(result.address) && result.address.trimmed() == result.address);
        FUZZ_CHECK(page.contains(result.address));
    } else {
        FUZZ_CHECK(result.address.isEmpty());
    }
    return 0;
}

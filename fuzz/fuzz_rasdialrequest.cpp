// The request the dial tool's privileged part reads on standard input, from whoever runs it.
#include "fuzzcheck.h"
#include "linkrequest.h"

namespace {

bool same(const rasdial::LinkRequest& a, const rasdial::LinkRequest& b) {
    return a.action == b.action && a.entry == b.entry && a.server == b.server &&
           a.options == b.options && a.options2 == b.options2 && a.protocols == b.protocols &&
           a.encryption == b.encryption && a.type == b.type && a.redialCount == b.redialCount &&
           a.redialPause == b.redialPause && a.user == b.user && a.password == b.password;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    const auto request = rasdial::parseRequest(reinterpret_cast<const char*>(data), size, &why);
    if (!request) {
        FUZZ_CHECK(!why.empty());
        return 0;
    }
    FUZZ_CHECK(size <= rasdial::MaxRequestBytes);
    if (request->action == rasdial::RequestAction::Dial) {
        FUZZ_CHECK(rasdial::requestProblem(*request).empty());
        FUZZ_CHECK(rasdial::isHostOrAddress(request->server));
    }
    // What was accepted is written and read back unchanged.
    const std::string again = rasdial::serializeRequest(*request);
    const auto reread = rasdial::parseRequest(again.data(), again.size());
    FUZZ_CHECK(reread && same(*reread, *request));
    return 0;
}

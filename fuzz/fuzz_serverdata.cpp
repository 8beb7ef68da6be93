// A server's data "address;account#password" as a list line may hold it.
#include "fuzzcheck.h"
#include "web/serverdirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzzText(data, size);
    const auto server = cutServerData(text);
    FUZZ_CHECK(server.has_value() ==
               (text.contains(u';') && text.indexOf(u'#') > text.indexOf(u';')));
    if (server) {
        FUZZ_CHECK(!server->address.contains(u';') && !server->account.contains(u'#'));
        FUZZ_CHECK(server->address + u';' + server->account + u'#' + server->password == text);
    }
    return 0;
}

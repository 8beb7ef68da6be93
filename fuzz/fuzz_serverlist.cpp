// The server list as a host may send it.
#include "fuzzcheck.h"
#include "web/serverdirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzzText(data, size);
    const ServerList list = parseServerList(text);
    FUZZ_CHECK(list.reached == text.contains(u':'));
    FUZZ_CHECK(list.servers.size() <= MaxServers);
    // The servers are the first lines of the text, each cut at its first ":".
    qsizetype at = 0;
    for (const ServerEntry& server : list.servers) {
        const QString line = server.name + u':' + server.data;
        FUZZ_CHECK(line.size() <= MaxServerLineChars);
        FUZZ_CHECK(!server.name.contains(u':') && !line.contains(u'\r'));
        FUZZ_CHECK(QStringView(text).mid(at, line.size()) == line);
        at += line.size();
        FUZZ_CHECK(at == text.size() || text[at] == u'\r');
        ++at;
    }
    return 0;
}

#include "serverdirectory.h"

ServerList parseServerList(const QString& text) {
    ServerList list;
    list.reached = text.contains(u':');
    if (!list.reached) return list;
    for (QStringView line : QStringView(text).tokenize(u'\r')) {
        if (list.servers.size() == MaxServers || line.size() > MaxServerLineChars) break;
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) break;
        list.servers.append({line.left(colon).toString(), line.mid(colon + 1).toString()});
    }
    return list;
}

std::optional<ServerData> cutServerData(const QString& data) {
    const qsizetype semicolon = data.indexOf(u';');
    const qsizetype hash = data.indexOf(u'#');
    if (semicolon < 0 || hash < semicolon) return std::nullopt;
    return ServerData{data.left(semicolon), data.mid(semicolon + 1, hash - semicolon - 1),
                      data.mid(hash + 1)};
}

QString displayedServerName(const QString& name) {
    return name.startsWith(u'\n') ? name.mid(1) : name;
}

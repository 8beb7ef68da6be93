#pragma once

#include <QList>
#include <QString>
#include <optional>

// One server line of the list: "name:data".
struct ServerEntry {
    QString name;
    QString data;
};

// What a downloaded server list holds.
struct ServerList {
    bool reached = false; // the text holds a ":" somewhere; otherwise the host was not reached
    QList<ServerEntry> servers;
};

// Bounds far above any real list (a few dozen servers of a few dozen characters each), so that
// whatever a host sends, the window's lists stay small and quick to draw.
constexpr int MaxServers = 1000;
constexpr qsizetype MaxServerLineChars = 1024;

// The address of the server list on the maker's web host.
inline QString serverListUrl(const QString& siteUrl) {
    return siteUrl + QStringLiteral("/vpn/list.txt");
}

// Reads the server list. Lines end at a carriage return alone (a line feed stays in the next
// name); each line is cut at its first ":"; the list ends at the first line without ":" or
// longer than MaxServerLineChars, and after MaxServers servers. Nothing is trimmed.
ServerList parseServerList(const QString& text);

// The three fields of a server's data "address;account#password".
struct ServerData {
    QString address;
    QString account;
    QString password;
};

// Cuts server data at its first ";" and first "#". Nothing when the text lacks one of them
// or has its first "#" before its first ";".
std::optional<ServerData> cutServerData(const QString& data);

// How a server name is drawn: a line feed at its start (lists with CR LF line ends) is not.
QString displayedServerName(const QString& name);

#pragma once

#include <QString>
#include <QtGlobal>

// What one look at the IP lookup page yields.
struct LookupResult {
    enum Kind {
        NoAnswer,  // the page is empty or holds no "["
        Malformed, // "[" but no "]", the first "]" before the first "[", or between
                   // them something that is not an IP address
        Address,   // an IPv4 or IPv6 address between the first "[" and the first "]"
    };
    Kind kind = NoAnswer;
    QString address;
};

// The lookup page puts the caller's address between the first "[" and the first "]". Only an
// address counts, blanks around it trimmed: a portal or error page has brackets too
// ("<!--[if lt IE 9]>"), and a baseline that is not an address would make every later look
// at the page a change.
LookupResult cutBracketAddress(const QString& page);

// A dotted-quad IPv4 address (four decimal parts of at most 255) or an IPv6 address, with
// nothing around it.
bool isIpAddress(QStringView text);

// The address of the lookup page on the given IP lookup host.
QString lookupPageUrl(const QString& lookupHost);

// One attempt: fetches the lookup page (20 s unless told otherwise) and cuts the address.
LookupResult LookupPublicAddress(const QString& lookupHost, qint16 limitSeconds = 20);

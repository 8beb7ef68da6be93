#pragma once

#include <QString>
#include <QtGlobal>

// What one look at the IP lookup page yields.
struct LookupResult {
    enum Kind {
        NoAnswer,  // the page is empty or holds no "["
        Malformed, // "[" but no "]", or the first "]" stands before the first "["
        Address,   // the text between the first "[" and the first "]", possibly empty
    };
    Kind kind = NoAnswer;
    QString address;
};

// The lookup page puts the caller's address between the first "[" and the first "]".
LookupResult cutBracketAddress(const QString& page);

// The address of the lookup page on the given IP lookup host.
QString lookupPageUrl(const QString& lookupHost);

// One attempt: fetches the lookup page (20 s unless told otherwise) and cuts the address.
LookupResult LookupPublicAddress(const QString& lookupHost, qint16 limitSeconds = 20);

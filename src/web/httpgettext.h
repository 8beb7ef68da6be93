#pragma once

#include <QString>
#include <QtGlobal>

// How long a fetch with the given limit in seconds waits, in milliseconds: 0 means 30 s, and
// a negative limit has passed before the wait begins.
int fetchLimitMs(qint16 limitSeconds);

// The one network read of the connector: one plain GET of url, sent with the header
// "Cookie: <cookie>" (callers pass the empty text) and "If-Modified-Since: 0". Waits at most
// limitSeconds (0 means 30) while the window keeps handling its events; other handlers may
// start fetches of their own meanwhile. Returns the body decoded by the charset the answer
// declares (UTF-8 otherwise), whatever the status code; the empty text on every failure.
QString HttpGetText(const QString& url, const QString& cookie, qint16 limitSeconds);

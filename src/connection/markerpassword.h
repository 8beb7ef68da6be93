#pragma once

#include <QString>

// Servers whose account is one of the markers "cvpn", "uvpn", "avpn" (exactly, case counts)
// keep their password on a web page; the server line names that page instead.
bool isAccountMarker(const QString& account);

// The password on a marker's page: the (at most) four characters that start 88 characters
// after the first character of the marker's first occurrence, counted in UTF-16 units. When
// the marker is absent they start at the 88th character of the page. Characters past the end
// are dropped, so the password may be shorter or empty.
QString cutMarkerPassword(const QString& page, const QString& marker);

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The connector's phonebook entry as the remote-access service takes it: a PPTP VPN entry
// whose phone number is the server's address. This is the one place where its values live.

// The RASENTRY record (ANSI, XP layout, 2884 bytes) for a server address; nothing when the
// address in the ANSI code page (GBK on a Chinese system) does not fit the 128 bytes of the phone number.
std::optional<QByteArray> buildRasEntry(const QString& serverAddress);

// The RASCREDENTIALS record (ANSI, 540 bytes) that sets the stored user name, password and
// domain to empty.
QByteArray buildEmptyRasCredentials();

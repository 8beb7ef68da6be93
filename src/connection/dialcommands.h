#pragma once

#include <QString>

// The phonebook entry the connector writes and dials; also the window's title.
inline const QString VpnEntryName = QStringLiteral("MiravonVPN网络连接器");

// Asks the dial tool to hang up the entry. Started hidden and never waited for.
inline const QString HangUpCommand =
    QStringLiteral("rasdial.exe ") + VpnEntryName + QStringLiteral(" /Disconnect");

// Dials the entry: the values joined by single blanks, never quoted, so that an empty value
// leaves two blanks in a row and a value with a blank in it splits in two.
inline QString dialCommandLine(const QString& userName, const QString& password) {
    return QStringLiteral("rasdial ") + VpnEntryName + u' ' + userName + u' ' + password;
}

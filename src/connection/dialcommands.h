#pragma once

#include <QString>

// The phonebook entry the connector writes and dials; also the window's title.
inline const QString VpnEntryName = QStringLiteral("MiravonVPN网络连接器");

// Asks the dial tool to hang up the entry. Started hidden and never waited for.
inline const QString HangUpCommand =
    QStringLiteral("rasdial.exe ") + VpnEntryName + QStringLiteral(" /Disconnect");

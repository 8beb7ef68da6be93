#pragma once

#include "platform/linux/phonebookfile.h"

#include <utility>

// The connector's own entry as its phonebook file holds it, for a server address.
inline phonebook::Entry
connectorEntry(const QString& server,
               const QString& name = QStringLiteral("MiravonVPN网络连接器")) {
    phonebook::Entry entry{name, {}};
    for (const auto& [key, value] : {std::pair{"dwSize", "2884"},
                                     {"dwfOptions", "0x3D0D0310"},
                                     {"dwfNetProtocols", "0x00000004"},
                                     {"dwType", "2"},
                                     {"dwEncryptionType", "3"},
                                     {"dwfOptions2", "0x0000016F"},
                                     {"dwRedialCount", "3"},
                                     {"dwRedialPause", "60"}})
        entry.set(QLatin1String(key), QLatin1String(value));
    entry.set(QStringLiteral("szLocalPhoneNumber"), server);
    return entry;
}

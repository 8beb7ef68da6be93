#pragma once

#include <QString>
#include <optional>

// The registry values the connector uses, addressed by one path whose last part names the
// value ("HKEY_CURRENT_USER\Software\...\Main\Start page"). On Windows they are the real
// registry's; elsewhere a per-user file plays the registry's part:
// $XDG_CONFIG_HOME/MiravonVPN/registry.ini, created only when a value is written.

// The value's text; nothing when it does not exist or the path names no value.
std::optional<QString> readRegistryValue(const QString& path);

// Writes a text value; "REG_SZ" is the only type known. False when nothing was written.
bool writeRegistryValue(const QString& path, const QString& data, const QString& type);

// The real registry, for the few text values the connector reads and writes.
#include "platform/registry.h"

#include <windows.h>

#include <QStringList>
#include <vector>

namespace {

// A value's place: its root key, the subkey's path and the value's name.
struct Location {
    HKEY root;
    QString subkey;
    QString name;
};

std::optional<Location> locate(const QString& path) {
    QStringList parts = path.split(u'\\');
    if (parts.size() < 3 || parts.contains(QString())) return std::nullopt;
    const QString rootName = parts.takeFirst().toUpper();
    const QString name = parts.takeLast();
    HKEY root;
    if (rootName == u"HKEY_CURRENT_USER" || rootName == u"HKCU")
        root = HKEY_CURRENT_USER;
    else if (rootName == u"HKEY_LOCAL_MACHINE" || rootName == u"HKLM")
        root = HKEY_LOCAL_MACHINE;
    else if (rootName == u"HKEY_CLASSES_ROOT" || rootName == u"HKCR")
        root = HKEY_CLASSES_ROOT;
    else if (rootName == u"HKEY_USERS")
        root = HKEY_USERS;
    else
        return std::nullopt;
    return Location{root, parts.join(u'\\'), name};
}

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// A text value is at most this long; anything longer is not the start page's address.
constexpr DWORD MaxValueBytes = 64 * 1024;

} // namespace

std::optional<QString> readRegistryValue(const QString& path) {
    const auto location = locate(path);
    if (!location) return std::nullopt;
    DWORD bytes = 0;
    const DWORD textTypes = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    if (RegGetValueW(location->root, wide(location->subkey), wide(location->name), textTypes,
                     nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes > MaxValueBytes)
        return std::nullopt;
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = DWORD(text.size() * sizeof(wchar_t));
    if (RegGetValueW(location->root, wide(location->subkey), wide(location->name), textTypes,
                     nullptr, text.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return QString::fromWCharArray(text.data());
}

bool writeRegistryValue(const QString& path, const QString& data, const QString& type) {
    const auto location = locate(path);
    if (!location || type != QLatin1String("REG_SZ")) return false;
    const DWORD bytes = DWORD((data.size() + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(location->root, wide(location->subkey), wide(location->name), REG_SZ,
                           data.utf16(), bytes) == ERROR_SUCCESS;
}

// Linux has no registry: a per-user file plays its part for the few values the connector uses.
#include "platform/registry.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <memory>

namespace {

// The settings store of the key that holds the value, and the value's name.
struct Location {
    std::unique_ptr<QSettings> key;
    QString name;
};

std::optional<Location> locate(const QString& path) {
    QStringList parts = path.split(u'\\');
    if (parts.size() < 2 || parts.contains(QString())) return std::nullopt;
    const QString name = parts.takeLast();
    auto key = std::make_unique<QSettings>(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/MiravonVPN/registry.ini"),
        QSettings::IniFormat);
    key->beginGroup(parts.join(u'/'));
    return Location{std::move(key), name};
}

} // namespace

std::optional<QString> readRegistryValue(const QString& path) {
    const auto location = locate(path);
    if (!location) return std::nullopt;
    const QVariant value = location->key->value(location->name);
    if (!value.isValid()) return std::nullopt;
    return value.toString();
}

bool writeRegistryValue(const QString& path, const QString& data, const QString& type) {
    const auto location = locate(path);
    if (!location || type != QLatin1String("REG_SZ")) return false;
    location->key->setValue(location->name, data);
    location->key->sync();
    return location->key->status() == QSettings::NoError;
}

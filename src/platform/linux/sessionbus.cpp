#include "platform/sessionbus.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

const char AddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";

// The variable as the program found it, once keepOffUnreachableSessionBus() has replaced it:
// unset, or set to an empty value.
struct FoundAddress {
    bool set;
    QByteArray value;
};
std::optional<FoundAddress> replaced;

} // namespace

bool sessionBusReachable(const QByteArray& address, bool userBusExists) {
    return !address.isEmpty() || userBusExists;
}

void keepOffUnreachableSessionBus() {
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    const bool userBus =
        !runtimeDir.isEmpty() && QFileInfo::exists(QFile::decodeName(runtimeDir) + "/bus");
    const QByteArray address = qgetenv(AddressVariable);
    if (sessionBusReachable(address, userBus)) return;
    replaced = FoundAddress{qEnvironmentVariableIsSet(AddressVariable), address};
    qputenv(AddressVariable, "disabled:");
}

QProcessEnvironment environmentForChildren() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (replaced) {
        if (replaced->set)
            environment.insert(QLatin1String(AddressVariable),
                               QString::fromLocal8Bit(replaced->value));
        else
            environment.remove(QLatin1String(AddressVariable));
    }
    return environment;
}

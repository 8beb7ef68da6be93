// Windows has no session bus to keep off: children get the environment as it is.
#include "platform/sessionbus.h"

bool sessionBusReachable(const QByteArray& address, bool userBusExists) {
    return !address.isEmpty() || userBusExists;
}

void keepOffUnreachableSessionBus() {}

QProcessEnvironment environmentForChildren() {
    return QProcessEnvironment::systemEnvironment();
}

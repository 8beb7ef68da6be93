#include "platform/instancename.h"

#include <QDir>
#include <QStandardPaths>

QString defaultInstanceName() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) return runtime + QStringLiteral("/miravon-vpn.socket");
    return QDir::tempPath() +
           QStringLiteral("/miravon-vpn-%1.socket").arg(qEnvironmentVariable("USER"));
}

#include "platform/singleinstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace {

// How long a start waits for a running instance that does not answer at once (one that is
// busy starting up still accepts, as the system queues the connection for it).
constexpr int AnswerMs = 2000;

} // namespace

SingleInstance::SingleInstance(const QString& socketPath, QObject* parent)
    : QObject(parent), socketPath_(socketPath) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::answerWaitingStarts);
}

QString SingleInstance::defaultSocketPath() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) return runtime + QStringLiteral("/miravon-vpn.socket");
    return QDir::tempPath() +
           QStringLiteral("/miravon-vpn-%1.socket").arg(qEnvironmentVariable("USER"));
}

bool SingleInstance::claim() {
    // Two starts at the same moment must not both find the socket dead and both take it
    // over: the check and the take-over happen under a lock. A lock left by a crashed start
    // is broken, since its process is gone.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    lock.tryLock(AnswerMs);

    QLocalSocket running;
    running.connectToServer(socketPath_);
    if (running.waitForConnected(AnswerMs)) return false; // the connection is the request
    // Nobody answers: whatever lies at the path is left from a run that ended badly.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    // Not being reachable is no reason not to run.
    server_.listen(socketPath_);
    return true;
}

void SingleInstance::answerWaitingStarts() {
    while (QLocalSocket* start = server_.nextPendingConnection()) {
        start->deleteLater();
        emit activationRequested();
    }
}

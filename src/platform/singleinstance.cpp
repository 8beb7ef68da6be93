#include "platform/singleinstance.h"

#include "platform/instancename.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>

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
    return defaultInstanceName();
}

bool SingleInstance::claim() {
    // Two starts at the same moment must not both find the socket dead and both take it
    // over: the check and the take-over happen under a lock. A lock left by a crashed start
    // is broken, since its process is gone.
    // The lock file lies beside a socket that is a file; a pipe's lock in the user's temporary
    // folder.
    const QString lockPath = QFileInfo(socketPath_).isAbsolute()
                                 ? socketPath_ + QStringLiteral(".lock")
                                 : QDir::tempPath() + u'/' + socketPath_ + QStringLiteral(".lock");
    QLockFile lock(lockPath);
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

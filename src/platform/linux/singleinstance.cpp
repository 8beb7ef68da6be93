// On Linux the first start listens on a local socket in the user's runtime folder; a later
// start's connection is its request to come to the front.
#include "platform/singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace {

// How long a start waits for a running instance that does not answer at once (one that is
// busy starting up still accepts, as the system queues the connection for it).
constexpr int AnswerMs = 2000;

} // namespace

struct SingleInstance::Parts {
    QLocalServer server;
};

SingleInstance::SingleInstance(const QString& socketPath, QObject* parent)
    : QObject(parent), socketPath_(socketPath), d_(new Parts) {
    connect(&d_->server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* start = d_->server.nextPendingConnection()) {
            start->deleteLater();
            emit activationRequested();
        }
    });
}

SingleInstance::~SingleInstance() = default;

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
    d_->server.setSocketOptions(QLocalServer::UserAccessOption);
    // Not being reachable is no reason not to run.
    d_->server.listen(socketPath_);
    return true;
}

#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One connector per user: two would dial and hang up the same entry and fight over it.
// The first start listens on a local socket; a later start reaches it there, asks it to come
// to the front, and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath` is a file path, or a plain name (a named pipe on Windows);
    // defaultSocketPath() is the one the program uses.
    explicit SingleInstance(const QString& socketPath, QObject* parent = nullptr);

    // The user's own: on Linux in the user's private runtime folder ($XDG_RUNTIME_DIR); on
    // Windows a pipe named after the user and the logon session.
    static QString defaultSocketPath();

    // True when no other instance runs: this one now answers later starts. False when another
    // instance was reached and asked to come to the front; this one should then end. A socket
    // left behind by an instance that crashed is taken over.
    bool claim();

signals:
    // Another start asked this instance to come to the front.
    void activationRequested();

private:
    void answerWaitingStarts();

    const QString socketPath_;
    QLocalServer server_;
};

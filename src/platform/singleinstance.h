#pragma once

#include "platform/instancename.h"

#include <QObject>
#include <QString>

#include <memory>

// One connector per user: two would dial and hang up the same entry and fight over it.
// The first start makes itself known under the user's name; a later start finds it there, asks
// it to come to the front, and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath` is a file path (Linux: a local socket there), or a plain name (Windows: the
    // names of the session's kernel objects); defaultSocketPath() is the one the program uses.
    explicit SingleInstance(const QString& socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The user's own: on Linux in the user's private runtime folder ($XDG_RUNTIME_DIR); on
    // Windows a name made of the user and the logon session.
    static QString defaultSocketPath() { return defaultInstanceName(); }

    // True when no other instance runs: this one now answers later starts. False when another
    // instance was reached and asked to come to the front; this one should then end. What an
    // instance that crashed left behind is taken over.
    bool claim();

signals:
    // Another start asked this instance to come to the front.
    void activationRequested();

private:
    struct Parts;
    const QString socketPath_;
    std::unique_ptr<Parts> d_;
};

// On Windows the running connector holds a mutex named after the user and the logon session;
// a later start finds the name taken, sets the event of the same stem that the running one
// waits on, and ends. Both live in the session's own namespace ("Local\") with the default
// access of their creator (the user and the system alone), and go with their last handle:
// a connector that crashed leaves nothing behind.
#include "platform/singleinstance.h"

#include "platform/instancename.h"

#include <QWinEventNotifier>

#include <windows.h>

#include <string>

struct SingleInstance::Parts {
    HANDLE toFront = nullptr; // set by later starts
    HANDLE running = nullptr; // held while this instance runs
    QWinEventNotifier notifier;

    ~Parts() {
        notifier.setEnabled(false);
        for (HANDLE handle : {toFront, running})
            if (handle) CloseHandle(handle);
    }
};

SingleInstance::SingleInstance(const QString& socketPath, QObject* parent)
    : QObject(parent), socketPath_(socketPath), d_(new Parts) {
    connect(&d_->notifier, &QWinEventNotifier::activated, this,
            &SingleInstance::activationRequested);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath() {
    return defaultInstanceName();
}

bool SingleInstance::claim() {
    const std::wstring stem = L"Local\\" + socketPath_.toStdWString();
    // The event before the mutex, so that whoever holds the mutex can be reached. An
    // auto-reset event: a request made while the running one is still starting waits for it.
    d_->toFront = CreateEventW(nullptr, FALSE, FALSE, (stem + L"-front").c_str());
    d_->running = CreateMutexW(nullptr, FALSE, (stem + L"-running").c_str());
    if (d_->running && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (d_->toFront) SetEvent(d_->toFront);
        return false;
    }
    // Not being reachable is no reason not to run.
    if (d_->toFront) {
        d_->notifier.setHandle(d_->toFront);
        d_->notifier.setEnabled(true);
    }
    return true;
}

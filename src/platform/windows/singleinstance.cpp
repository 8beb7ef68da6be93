// On Windows the running connector holds an event named after the user and the logon session,
// and waits on it; a later start finds the name taken, sets the event, and ends. The event
// lives in the session's own namespace ("Local\") with the default access of its creator (the
// user and the system alone), and goes with its last handle: a connector that crashed leaves
// nothing behind.
#include "platform/singleinstance.h"

#include <QWinEventNotifier>

#include <windows.h>

#include <string>

struct SingleInstance::Parts {
    HANDLE toFront = nullptr; // held while this instance runs, set by later starts
    QWinEventNotifier notifier;

    ~Parts() {
        notifier.setEnabled(false);
        if (toFront) CloseHandle(toFront);
    }
};

SingleInstance::SingleInstance(const QString& socketPath, QObject* parent)
    : QObject(parent), socketPath_(socketPath), d_(new Parts) {
    connect(&d_->notifier, &QWinEventNotifier::activated, this,
            &SingleInstance::activationRequested);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    // Made or opened in one step, so two starts at once cannot both find the name free. An
    // auto-reset event: a request made while the running one is still starting waits for it.
    const std::wstring name = L"Local\\" + socketPath_.toStdWString() + L"-front";
    d_->toFront = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    // Not being reachable is no reason not to run.
    if (!d_->toFront) return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        SetEvent(d_->toFront);
        return false;
    }
    d_->notifier.setHandle(d_->toFront);
    d_->notifier.setEnabled(true);
    return true;
}

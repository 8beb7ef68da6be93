// A logoff or shutdown asks every top-level window first (WM_QUERYENDSESSION), then tells them
// that the session ends (WM_ENDSESSION); once the last answer is back the system may end the
// process at any moment. The first is the question of the close box (its OK hangs up and ends
// the program at once); the second, when the program still runs, hangs up before it returns.
#include "platform/endsignals.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

namespace {

class SessionEndFilter final : public QObject, public QAbstractNativeEventFilter {
public:
    explicit SessionEndFilter(EndSignals* signals_)
        : QObject(signals_), signals_(signals_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~SessionEndFilter() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG") return false;
        const MSG* msg = static_cast<const MSG*>(message);
        // Asked first, the user may keep the program, and with it the session (not when the
        // system ends the session regardless of programs).
        if (msg->message == WM_QUERYENDSESSION) {
            bool keep = false;
            if (!(msg->lParam & ENDSESSION_CRITICAL)) emit signals_->endQuery(&keep);
            *result = keep ? FALSE : TRUE;
            return true;
        }
        if (msg->message == WM_ENDSESSION && msg->wParam) {
            if (!ended_) {
                ended_ = true;
                emit signals_->received(WM_ENDSESSION);
            }
            *result = 0;
            return true;
        }
        return false;
    }

private:
    EndSignals* signals_;
    bool ended_ = false;
};

} // namespace

EndSignals::EndSignals(QObject* parent) : QObject(parent) {
    new SessionEndFilter(this);
}

EndSignals::~EndSignals() = default;

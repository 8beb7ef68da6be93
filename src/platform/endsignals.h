#pragma once

#include <QObject>

class QSocketNotifier;

// The system's word that the program must end arrives as a Qt signal, instead of ending the
// program on the spot: on Linux SIGTERM, SIGINT and SIGHUP (a shutdown, kill, ^C, a closed
// terminal), in the event loop; on Windows the end of the session (a logoff or shutdown), while
// the system waits for the answer.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;

signals:
    void received(int signal);
    // The session is about to end and asks whether the program lets it (Windows, where a
    // program may ask its user first); a handler that keeps the program sets *keep.
    void endQuery(bool* keep);

private:
    QSocketNotifier* notifier_ = nullptr;
};

#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a shutdown, kill, ^C, a closed terminal) arrive as a Qt signal
// in the event loop, instead of ending the program on the spot.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;

signals:
    void received(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};

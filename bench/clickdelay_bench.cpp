// How the window answers clicks while the drop watch waits for a lookup host that holds its
// answer: the delay from a click's arrival to its handler (median, p99), and the processor
// time the whole wait cost.
//   clickdelay-bench [clicks] [hold seconds]     (default 200 clicks, 10 s)
#include "connector.h"
#include "processortime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <deque>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int clicks = std::max(1, argc > 1 ? std::atoi(argv[1]) : 200);
    const int holdSeconds = argc > 2 ? std::atoi(argv[2]) : 10;

    Connector c;
    c.choose(0);
    c.window.Command1_Click();
    c.lookupAnswers("[203.0.113.7]");
    c.window.Timer1_Timer();
    c.lookupAnswers("[203.0.113.7]", holdSeconds * 1000);
    // The drop watch's tick is run by hand, once: its timer must not start another meanwhile.
    c.child<QTimer>("Timer2")->stop();

    // Each click on "断开" asks its question; the platform answers Cancel and notes the time.
    QElapsedTimer clock;
    clock.start();
    std::deque<qint64> sent;
    std::vector<double> delaysMs;
    auto* button = c.child<QPushButton>("Command2");
    QObject::connect(button, &QPushButton::clicked, [&] {
        delaysMs.push_back(double(clock.nsecsElapsed() - sent.front()) / 1e6);
        sent.pop_front();
    });
    c.platform.answers = QList<int>(clicks, 2);
    const int spacingMs = std::max(1, (holdSeconds * 1000 - 1000) / clicks);
    QTimer clicker;
    clicker.setTimerType(Qt::PreciseTimer);
    int posted = 0;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        const QPointF at = QRectF(button->rect()).center();
        const QPointF global = button->mapToGlobal(at);
        sent.push_back(clock.nsecsElapsed());
        QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                            Qt::LeftButton, Qt::LeftButton, {}));
        QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                            Qt::LeftButton, Qt::NoButton, {}));
        if (++posted == clicks) clicker.stop();
    });
    clicker.start(spacingMs);

    const double before = processorSeconds();
    QElapsedTimer wall;
    wall.start();
    c.window.Timer2_Timer(); // waits for the held answer
    const double cpu = processorSeconds() - before;

    std::sort(delaysMs.begin(), delaysMs.end());
    const auto at = [&](double q) {
        return delaysMs.empty() ? -1.0 : delaysMs[size_t(q * double(delaysMs.size() - 1))];
    };
    std::printf("drop watch held %.2f s; %zu of %d clicks handled during the wait; delay median "
                "%.3f ms, p99 %.3f ms, max %.3f ms; processor time %.3f s\n",
                double(wall.nsecsElapsed()) / 1e9, delaysMs.size(), clicks, at(0.5), at(0.99),
                at(1.0), cpu);
    return int(delaysMs.size()) == clicks ? 0 : 1;
}

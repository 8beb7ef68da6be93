// Measures what a fetch costs while it waits for a server that never answers: wall time and
// processor time of the whole process (the fetch, Qt's network thread and the silent server).
//   httpwait-bench [seconds]     (default 20, the limit of a public-address lookup)
#include "processortime.h"
#include "testserver.h"
#include "web/httpgettext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    TestServer server;
    server.route("/ip2city.asp", server.silent());

    QElapsedTimer wall;
    const double before = processorSeconds();
    wall.start();
    const QString text = HttpGetText(server.url("/ip2city.asp"), QString(), qint16(seconds));
    const double cpu = processorSeconds() - before;
    std::printf("silent server, limit %d s: waited %.3f s, processor time %.3f s, answer %s\n",
                seconds, double(wall.nsecsElapsed()) / 1e9, cpu,
                text.isEmpty() ? "empty" : "NOT EMPTY");
    return text.isEmpty() ? 0 : 1;
}

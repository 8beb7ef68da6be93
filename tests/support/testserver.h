#pragma once

#include <httplib.h>

#include <QString>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A real HTTP server on 127.0.0.1 whose answers the test decides, path by path: delays,
// silence, error pages, cut-off transfers, slow trickles. It serves from its own thread, so
// the test's event loop and the server never wait for each other.
class TestServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    TestServer();
    ~TestServer();

    QString base() const; // "http://127.0.0.1:PORT"
    QString url(const std::string& path) const { return base() + QString::fromStdString(path); }

    // Sets (or replaces, also while a test runs) what a path answers.
    void route(const std::string& path, Handler handler);
    // A text answer, after an optional delay.
    Handler text(std::string body, std::string contentType = "text/plain; charset=utf-8",
                 int status = 200, int delayMs = 0);
    // One answer per request, in order; the last one repeats.
    Handler sequence(std::vector<std::string> bodies);
    // Accepts the request and never answers (until the server stops).
    Handler silent();
    // Sends the body in pieces, one every intervalMs.
    Handler trickle(std::vector<std::string> pieces, int intervalMs);
    // Announces a longer body than it sends, then closes the connection.
    Handler cutOff(std::string sent, size_t announced);
    // Sends the piece again and again, one every intervalMs (0: as fast as the client reads),
    // without end: until the client goes away or the server stops.
    Handler endless(std::string piece, int intervalMs);
    // Answers with a redirect to location.
    Handler redirect(std::string location, int status = 302);

    // The requests received for a path so far (their headers).
    std::vector<httplib::Headers> requests(const std::string& path) const;
    int hits(const std::string& path) const { return int(requests(path).size()); }

private:
    // Sleeps up to ms, or until the server stops.
    void pause(int ms);

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::map<std::string, Handler> routes_;
    std::map<std::string, std::vector<httplib::Headers>> seen_;
};

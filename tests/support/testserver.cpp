#include "testserver.h"

#include <chrono>

TestServer::TestServer() {
    // One request per connection, so that stopping never waits for an idle keep-alive.
    server_.set_keep_alive_max_count(1);
    server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        Handler handler;
        {
            std::lock_guard lock(mutex_);
            seen_[req.path].push_back(req.headers);
            const auto found = routes_.find(req.path);
            if (found != routes_.end()) handler = found->second;
        }
        if (handler) {
            handler(req, res);
        } else {
            res.status = 404;
            res.set_content("<html><body>404 Not Found</body></html>", "text/html");
        }
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only takes effect once the accept loop runs: let it start before going on.
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestServer::~TestServer() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    stopping_.notify_all();
    server_.stop();
    thread_.join();
}

QString TestServer::base() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

void TestServer::route(const std::string& path, Handler handler) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(handler);
}

void TestServer::pause(int ms) {
    std::unique_lock lock(mutex_);
    stopping_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopped_; });
}

TestServer::Handler TestServer::text(std::string body, std::string contentType, int status,
                                     int delayMs) {
    return [=](const httplib::Request&, httplib::Response& res) {
        pause(delayMs);
        res.status = status;
        res.set_content(body, contentType.c_str());
    };
}

TestServer::Handler TestServer::sequence(std::vector<std::string> bodies) {
    auto next = std::make_shared<size_t>(0);
    return [bodies, next](const httplib::Request&, httplib::Response& res) {
        const size_t i = std::min((*next)++, bodies.size() - 1);
        res.set_content(bodies[i], "text/html; charset=utf-8");
    };
}

TestServer::Handler TestServer::silent() {
    return [this](const httplib::Request&, httplib::Response& res) {
        pause(60'000);
        res.set_content("too late", "text/plain");
    };
}

TestServer::Handler TestServer::trickle(std::vector<std::string> pieces, int intervalMs) {
    size_t total = 0;
    for (const auto& piece : pieces)
        total += piece.size();
    return [=](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(
            total, "text/plain; charset=utf-8",
            [this, pieces, intervalMs](size_t offset, size_t, httplib::DataSink& sink) {
                size_t start = 0;
                for (const auto& piece : pieces) {
                    if (offset == start) {
                        pause(intervalMs);
                        return sink.write(piece.data(), piece.size());
                    }
                    start += piece.size();
                }
                return false;
            });
    };
}

TestServer::Handler TestServer::cutOff(std::string sent, size_t announced) {
    return [=](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(announced, "text/plain",
                                 [sent](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset > 0) return false; // closes the connection
                                     return sink.write(sent.data(), sent.size());
                                 });
    };
}

TestServer::Handler TestServer::endless(std::string piece, int intervalMs) {
    return [=](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "text/plain", [this, piece, intervalMs](size_t, httplib::DataSink& sink) {
                if (intervalMs > 0) pause(intervalMs);
                {
                    std::lock_guard lock(mutex_);
                    if (stopped_) return false;
                }
                return sink.write(piece.data(), piece.size());
            });
    };
}

TestServer::Handler TestServer::redirect(std::string location, int status) {
    return [=](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_header("Location", location);
    };
}

std::vector<httplib::Headers> TestServer::requests(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto found = seen_.find(path);
    return found == seen_.end() ? std::vector<httplib::Headers>{} : found->second;
}

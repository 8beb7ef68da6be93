#include "simulator.h"

#include "rasdialerrors.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace rasdial {

namespace {

constexpr std::size_t MaxAnswerBytes = 4096;

struct SiteAnswer {
    bool answered = false;
    int status = 0;
    std::string body;
};

// One request with a hard time limit: cpp-httplib's time-outs are per read, so a site that
// trickles could hold a request for hours; the limit stops the client from outside.
SiteAnswer askSite(const std::string& site, const char* method, const std::string& path,
                   const httplib::Params& form) {
    std::string base = site;
    if (!base.empty() && base.back() == '/') base.pop_back();
    httplib::Client client(base);
    client.set_connection_timeout(3);
    client.set_read_timeout(5);
    client.set_write_timeout(5);
    client.set_keep_alive(false);

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    SiteAnswer answer;
    std::thread worker([&] {
        httplib::Request request;
        request.method = method;
        request.path = path;
        if (!form.empty()) {
            request.body = httplib::detail::params_to_query_str(form);
            request.set_header("Content-Type", "application/x-www-form-urlencoded");
        }
        std::string body;
        request.content_receiver = [&body](const char* data, size_t length, uint64_t, uint64_t) {
            if (body.size() + length > MaxAnswerBytes) return false;
            body.append(data, length);
            return true;
        };
        httplib::Response response;
        httplib::Error error = httplib::Error::Success;
        const bool ok = client.send(request, response, error);
        std::lock_guard lock(mutex);
        answer = {ok, response.status, std::move(body)};
        done = true;
        finished.notify_one();
    });
    {
        std::unique_lock lock(mutex);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(SimulatorLimitMs);
        if (!finished.wait_until(lock, deadline, [&] { return done; })) {
            // stop() only reaches a socket that exists: repeat it until the request gives up.
            while (!finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; }))
                client.stop();
            answer = {};
        }
    }
    worker.join();
    return answer;
}

int unanswered(const std::string& site) {
    note("the simulated link's site " + site + " did not answer");
    return report(TunnelFailed);
}

} // namespace

bool isSimulatorAddress(std::string_view address) {
    constexpr std::string_view scheme = "http://";
    if (address.size() > 200 || address.substr(0, scheme.size()) != scheme) return false;
    std::string_view rest = address.substr(scheme.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    const std::size_t colon = rest.find(':');
    const std::string_view host = rest.substr(0, colon);
    if (!isHostOrAddress(host)) return false;
    if (colon == std::string_view::npos) return true;
    const auto port = parseDecimal(rest.substr(colon + 1));
    return port && *port >= 1 && *port <= 65535 && rest.size() - colon - 1 <= 5;
}

int simulatedDial(const std::string& site, const LinkRequest& request) {
    say("Connecting to " + request.entry + "...");
    const SiteAnswer answer = askSite(site, "POST", "/rasdial/dial",
                                      {{"entry", request.entry},
                                       {"server", request.server},
                                       {"user", request.user},
                                       {"password", std::string(request.password.view())}});
    if (!answer.answered) return unanswered(site);
    switch (answer.status) {
    case 200:
        say("Successfully connected to " + request.entry + ".");
        return report(Success);
    case 409:
        say("You are already connected to " + request.entry + ".");
        return report(Success);
    case 401:
        return report(AuthenticationFailed);
    default:
        return report(TunnelFailed); // 404: no such server
    }
}

int simulatedHangUp(const std::string& site, const std::string& entry) {
    const SiteAnswer answer = askSite(site, "POST", "/rasdial/hangup", {{"entry", entry}});
    if (!answer.answered) return unanswered(site);
    return report(answer.status == 200 ? Success : NotConnected);
}

int simulatedList(const std::string& site) {
    const SiteAnswer answer = askSite(site, "GET", "/rasdial/status", {});
    if (!answer.answered || answer.status != 200) return unanswered(site);
    // "up" and the entry's name on the next line, or "down".
    if (answer.body.compare(0, 3, "up\n") == 0) {
        std::string entry = answer.body.substr(3, answer.body.find('\n', 3) - 3);
        for (char& c : entry)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
        say("Connected to");
        say(entry);
    } else {
        say("No connections");
    }
    return report(Success);
}

} // namespace rasdial

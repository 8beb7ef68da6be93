// miravon-site: the maker's web host and the IP lookup page, served on 127.0.0.1 so that the
// connector runs and is tested on a machine without internet.
//   miravon-site [--port N] [--address A] [--tunnel-minutes N | --tunnel-seconds N]
// Port 8660 by default; 0 takes any free port, named in the "serving" line. --address serves
// on another local address instead (the tunnel test machine's "internet" host). A simulated
// tunnel (POST /rasdial/dial) drops on its own after 20 minutes by default; 0 never drops.
#include "pages.h"
#include "tunnels.h"

#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void serveHtml(httplib::Server& site, const char* path, const char* page) {
    site.Get(path, [page](const httplib::Request&, httplib::Response& res) {
        res.set_content(page, "text/html; charset=utf-8");
    });
}

} // namespace

int main(int argc, char* argv[]) {
    int port = 8660;
    std::string address = "127.0.0.1";
    long tunnelSeconds = 20 * 60;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--address") == 0 && i + 1 < argc) {
            address = argv[++i];
        } else if (std::strcmp(argv[i], "--tunnel-minutes") == 0 && i + 1 < argc) {
            tunnelSeconds = std::atol(argv[++i]) * 60;
        } else if (std::strcmp(argv[i], "--tunnel-seconds") == 0 && i + 1 < argc) {
            tunnelSeconds = std::atol(argv[++i]);
        } else {
            std::fprintf(
                stderr,
                "usage: %s [--port N] [--address A] [--tunnel-minutes N | --tunnel-seconds N]\n",
                argv[0]);
            return 2;
        }
    }
    if (port < 0 || port > 65535 || tunnelSeconds < 0) {
        std::fprintf(stderr, "miravon-site: port or tunnel time out of range\n");
        return 2;
    }
    tunnels::Tunnels tunnels{std::chrono::seconds(tunnelSeconds)};

    httplib::Server site;
    serveHtml(site, "/", pages::home);
    serveHtml(site, "/msg.htm", pages::bulletin);
    serveHtml(site, "/dh.htm", pages::navigation);
    serveHtml(site, "/bbs/", pages::forum);
    serveHtml(site, "/writebook.asp", pages::guestbook);
    site.Get("/version/tunrell.txt", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(MIRAVON_PUBLISHED_VERSION, "text/plain");
    });
    site.Get("/vpn/list.txt", [](const httplib::Request& req, httplib::Response& res) {
        const std::string list = pages::serverList("http://" + req.get_header_value("Host"));
        res.set_content(pages::toGbk(list), "text/plain; charset=gb2312");
    });
    site.Get("/vpn/pass/(cvpn|uvpn|avpn)\\.asp",
             [](const httplib::Request& req, httplib::Response& res) {
                 const std::string marker = req.matches[1];
                 const std::string password = pages::hourlyPassword(marker, std::time(nullptr));
                 res.set_content(pages::passwordPage(marker, password), "text/html");
             });
    site.Get("/ip2city.asp", [&](const httplib::Request& req, httplib::Response& res) {
        // Through a simulated tunnel the caller appears at the exit address.
        const bool tunnelled = tunnels.entry(req.remote_addr).has_value();
        res.set_content(
            pages::toGbk(pages::lookupPage(tunnelled ? tunnels::ExitAddress : req.remote_addr)),
            "text/html; charset=gb2312");
    });

    // The simulated links of the dial tool (rasdial with RASDIAL_SIMULATOR set).
    site.set_payload_max_length(8192);
    site.Post("/rasdial/dial", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string list = pages::serverList("http://" + req.get_header_value("Host"));
        switch (tunnels::checkLogin(list, req.get_param_value("server"),
                                    req.get_param_value("user"), req.get_param_value("password"),
                                    std::time(nullptr))) {
        case tunnels::Login::UnknownServer:
            res.status = 404;
            break;
        case tunnels::Login::Refused:
            res.status = 401;
            break;
        case tunnels::Login::Accepted:
            res.status = tunnels.open(req.remote_addr, req.get_param_value("entry")) ? 200 : 409;
        }
        res.set_content(std::to_string(res.status) + "\n", "text/plain");
    });
    site.Post("/rasdial/hangup", [&](const httplib::Request& req, httplib::Response& res) {
        res.status = tunnels.close(req.remote_addr) ? 200 : 409;
        res.set_content(std::to_string(res.status) + "\n", "text/plain");
    });
    site.Get("/rasdial/status", [&](const httplib::Request& req, httplib::Response& res) {
        const auto entry = tunnels.entry(req.remote_addr);
        res.set_content(entry ? "up\n" + *entry + "\n" : std::string("down\n"),
                        "text/plain; charset=utf-8");
    });
    site.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        std::printf("%s %s %d\n", req.method.c_str(), req.path.c_str(), res.status);
        std::fflush(stdout);
    });

    const int asked = port;
    if (port == 0)
        port = site.bind_to_any_port(address);
    else if (!site.bind_to_port(address, port))
        port = -1;
    if (port <= 0) {
        port = asked;
        std::fprintf(stderr, "miravon-site: cannot listen on %s:%d\n", address.c_str(), port);
        return 1;
    }
    std::printf("miravon-site: serving http://%s:%d/\n", address.c_str(), port);
    std::fflush(stdout);
    return site.listen_after_bind() ? 0 : 1;
}

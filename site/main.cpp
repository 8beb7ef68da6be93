// miravon-site: the maker's web host and the IP lookup page, served on 127.0.0.1 so that the
// connector runs and is tested on a machine without internet.
//   miravon-site [--port N]     (default 8660)
#include "pages.h"

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
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--port N]\n", argv[0]);
            return 2;
        }
    }

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
    site.Get("/ip2city.asp", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(pages::toGbk(pages::lookupPage(req.remote_addr)),
                        "text/html; charset=gb2312");
    });
    site.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        std::printf("%s %s %d\n", req.method.c_str(), req.path.c_str(), res.status);
        std::fflush(stdout);
    });

    if (!site.bind_to_port("127.0.0.1", port)) {
        std::fprintf(stderr, "miravon-site: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("miravon-site: serving http://127.0.0.1:%d/\n", port);
    std::fflush(stdout);
    return site.listen_after_bind() ? 0 : 1;
}

#pragma once

#include "testserver.h"
#include "window/appconfig.h"

#include <QListWidget>
#include <QStringList>
#include <QWidget>

// A maker site and lookup page for one test: the answers of the local site, changeable.
struct TestSite {
    static constexpr const char* List = "电信一区:10.0.0.1;mira#pw01\r\n"
                                        "网通二区:10.0.0.2;cvpn#http://127.0.0.1/pass.asp\r\n"
                                        "教育网:10.0.0.3;uvpn#http://127.0.0.1/pass.asp\r\n";
    TestServer server;

    TestSite() {
        server.route("/version/tunrell.txt", server.text("2.1"));
        server.route("/ip2city.asp", server.text("<center>您的IP是:[127.0.0.1]</center>",
                                                 "text/html; charset=utf-8"));
        server.route("/vpn/list.txt", server.text(List));
        server.route("/msg.htm", server.text("<html><body>公告</body></html>", "text/html"));
    }

    AppConfig config() const {
        AppConfig config;
        config.siteUrl = config.lookupUrl = server.base();
        config.email = QStringLiteral("test@example.org");
        config.versionMajor = 2;
        config.versionMinor = 1;
        config.versionRevision = 0;
        return config;
    }
};

inline QStringList itemTexts(const QWidget& window, const char* list) {
    QStringList texts;
    const auto* widget = window.findChild<QListWidget*>(QLatin1String(list));
    for (int i = 0; widget && i < widget->count(); ++i)
        texts << widget->item(i)->text();
    return texts;
}

inline QStringList logLines(const QWidget& window) {
    return itemTexts(window, "List2");
}

#pragma once

#include "fakeplatform.h"
#include "testsite.h"
#include "window/frmtunrell.h"

#include <QListWidget>
#include <QTest>

// A started, shown window whose list has one server of each kind: "mira" (row 0), "cvpn"
// (row 1) and "uvpn" (row 2); the marker servers' password page is "/pass.asp".
struct Connector {
    TestSite site;
    FakePlatform platform;
    frmtunrell window;

    static QString passwordPage(const QString& marker, const QString& password) {
        return "<html>" + marker + QString(84, u'.') + password + "</html>";
    }

    Connector() : window(site.config(), platform) {
        const QString page = site.server.url("/pass.asp");
        const QString list = "电信一区:10.0.0.1;mira#pw01\r网通二区:10.0.0.2;cvpn#" + page +
                             "\r教育网:10.0.0.3;uvpn#" + page + "\r";
        site.server.route("/vpn/list.txt", site.server.text(list.toStdString()));
        site.server.route("/pass.asp", site.server.text(passwordPage("cvpn", "K7p2").toStdString(),
                                                        "text/html; charset=utf-8"));
        window.Form_Load();
        window.show();
    }
    template <typename T = QWidget> T* child(const char* name) {
        return window.findChild<T*>(QLatin1String(name));
    }
    void choose(int row) {
        auto* list = child<QListWidget>("List1");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    // What the lookup page answers from now on.
    void lookupAnswers(const std::string& page, int delayMs = 0) {
        site.server.route("/ip2city.asp",
                          site.server.text(page, "text/html; charset=utf-8", 200, delayMs));
    }
    QStringList newLines() { return logLines(window).mid(4); } // after start-up's lines
    QStringList commandLines() const {
        QStringList lines;
        for (const auto& launch : platform.launched)
            lines << launch.commandLine;
        return lines;
    }
};

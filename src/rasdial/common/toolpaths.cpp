#include "toolpaths.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace rasdial {

namespace {

ToolPaths makePaths() {
    ToolPaths paths;
#ifdef RASDIAL_TEST_HOOKS
    const auto take = [](const char* name, std::string& target) {
        if (const char* value = std::getenv(name)) target = value;
    };
    take("RASDIAL_TEST_PPPD", paths.pppd);
    take("RASDIAL_TEST_PPTP", paths.pptp);
    take("RASDIAL_TEST_RUNDIR", paths.pidDir);
    take("RASDIAL_TEST_HELPER", paths.helper);
    take("RASDIAL_TEST_IP", paths.ip);
    take("RASDIAL_TEST_IPV6_ROUTES", paths.ipv6Routes);
    if (const char* pkexec = std::getenv("RASDIAL_TEST_PKEXEC")) {
        paths.pkexec = pkexec;
        paths.alwaysElevate = true;
    }
    // The tests' servers are documentation addresses: knock only where a test listens.
    paths.knock = false;
    if (const char* port = std::getenv("RASDIAL_TEST_PPTP_PORT")) {
        paths.pptpPort = std::atoi(port);
        paths.knock = true;
    }
    if (const char* patience = std::getenv("RASDIAL_TEST_PATIENCE_SECONDS"))
        paths.patienceSeconds = std::atoi(patience);
    paths.requireRoot = false;
    paths.testHooks = true;
    paths.networkManager = false;
#endif
    return paths;
}

} // namespace

std::string helperPath(const ToolPaths& paths, const std::string& self) {
    if (!paths.helper.empty()) return paths.helper;
    const std::string dir = self.substr(0, self.rfind('/'));
    const std::string installed = dir + "/../libexec/miravon-vpn/rasdial-helper";
    if (access(installed.c_str(), X_OK) == 0) {
        char resolved[PATH_MAX];
        if (realpath(installed.c_str(), resolved)) return resolved; // pkexec wants it plain
    }
    return dir + "/rasdial-helper";
}

const ToolPaths& toolPaths() {
    static const ToolPaths paths = makePaths();
    return paths;
}

std::vector<std::string> privilegedEnvironment() {
    std::vector<std::string> environment{"PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
#ifdef RASDIAL_TEST_HOOKS
    for (const char* name :
         {"RASDIAL_TEST_PPPD", "RASDIAL_TEST_PPTP", "RASDIAL_TEST_RUNDIR", "RASDIAL_TEST_IP",
          "RASDIAL_TEST_IPV6_ROUTES", "RASDIAL_TEST_PPTP_PORT", "RASDIAL_TEST_PATIENCE_SECONDS"})
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + '=' + value);
#endif
    return environment;
}

} // namespace rasdial

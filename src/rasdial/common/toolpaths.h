#pragma once

#include <string>
#include <vector>

// Where the dial tool finds the programs and folders it works with. The installed tool uses
// fixed system paths only (toolpaths.cpp). The copy built for the tests (RASDIAL_TEST_HOOKS,
// never installed) reads them from RASDIAL_TEST_* variables instead, so that its privileged part
// runs a stand-in pppd in a private folder. Building the hooks into a separate program, rather
// than honouring variables at run time, means nothing a caller sets can ever steer the
// installed program, whether it runs through pkexec, sudo or as root.
namespace rasdial {

struct ToolPaths {
    std::string pppd = "/usr/sbin/pppd";
    std::string pptp = "/usr/sbin/pptp";
    std::string pidDir = "/run"; // where pppd writes ppp-LINK.pid
    std::string pkexec = "/usr/bin/pkexec";
    std::string ip = "/sbin/ip";                     // iproute2's, for IPv6's block (ipv6block.h)
    std::string ipv6Routes = "/proc/net/ipv6_route"; // where the block's routes are seen
    // The privileged helper; empty: beside this program (see helperPath).
    std::string helper;
    int pptpPort = 1723;        // where a dial first knocks to see that the server answers
    bool knock = true;          // the tests' copy knocks only at a port of their own
    bool alwaysElevate = false; // use pkexec even when already root (tests)
    bool requireRoot = true;    // the privileged part refuses to run as anyone else
    bool testHooks = false;
    // Whether NetworkManager is asked at all: the tests' copy never reaches a real one.
    bool networkManager = true;
    // How long the privileged part waits for its caller's request, for a caller's full pipe
    // and for pppd to end after SIGTERM.
    int patienceSeconds = 5;
};

const ToolPaths& toolPaths();

// The helper for the tool at `self`: paths.helper when set, else the installed one
// (PREFIX/bin/rasdial -> PREFIX/libexec/miravon-vpn/rasdial-helper), else the one beside it in
// the build folder.
std::string helperPath(const ToolPaths& paths, const std::string& self);

// The whole environment of the privileged part and of pppd: nothing of the caller's.
std::vector<std::string> privilegedEnvironment();

// The NULL-terminated array of pointers into the strings that execve takes.
inline std::vector<char*> execArray(std::vector<std::string>& strings) {
    std::vector<char*> array;
    for (std::string& text : strings)
        array.push_back(text.data());
    array.push_back(nullptr);
    return array;
}

} // namespace rasdial

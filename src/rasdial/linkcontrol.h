#pragma once

#include "linkrequest.h"
#include "toolpaths.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The links themselves: pppd's pid files, the processes behind them, starting and stopping
// pppd. Plain POSIX, no Qt: this is what the privileged helper runs as root.
namespace rasdial {

// At most this many requests of one user run at once, and this many links of one user.
constexpr int MaxHelpersPerUser = 4;
constexpr int MaxLinksPerUser = 2;

// "DIR/ppp-LINK.pid", as pppd names it.
std::string pidFilePath(const ToolPaths& paths, std::uint32_t owner, std::string_view entry);

// The pid on the first line of a pid file; nothing when the file is missing or holds anything
// else.
std::optional<pid_t> readPidFile(const std::string& path);

// Whether the process is the pppd of that link: its arguments hold "linkname LINK", and its
// program is our pppd, checked through /proc/PID/exe. Where that cannot be read (an ordinary
// user looking at root's pppd) the process must at least belong to root: a process of the
// user's own that took over a stale pid never counts.
bool isLinkProcess(pid_t pid, const ToolPaths& paths, std::string_view link);

// The pid of the pppd running the user's link of that entry, if one is.
std::optional<pid_t> linkProcess(const ToolPaths& paths, std::uint32_t owner,
                                 std::string_view entry);

// Variables that could change what a root process does (the loader's, the C library's,
// Qt's, the tool's own); test hooks allow the RASDIAL_TEST_* ones.
bool isDangerousVariable(std::string_view assignment, bool testHooks);

// Whose request it is: pkexec's PKEXEC_UID, or the real uid of a caller who is root.
std::optional<std::uint32_t> callerOf(const ToolPaths& paths, char** environment);

// The privileged helper: refuses to run as anyone but root or in a dangerous environment,
// reads one request from standard input within paths.patienceSeconds and carries it out for the
// caller. Prints the outcome; returns the error code.
int runLinkHelper(const ToolPaths& paths, char** environment);

// The same, for a request already read and checked (the dial and the hang-up themselves).
// Root's hang-up stops the entry's link of every user.
int dialLink(const ToolPaths& paths, const LinkRequest& request);
int hangUpLink(const ToolPaths& paths, std::uint32_t owner, const std::string& entry);

} // namespace rasdial

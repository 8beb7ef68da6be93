#pragma once

#include "linkrequest.h"
#include "toolpaths.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The links themselves: pppd's pid files, the processes behind them, starting and stopping
// pppd. Plain POSIX, no Qt: this is what the privileged part runs as root.
namespace rasdial {

// "DIR/ppp-LINK.pid", as pppd names it.
std::string pidFilePath(const ToolPaths& paths, std::string_view entry);

// The pid on the first line of a pid file; nothing when the file is missing or holds anything
// else.
std::optional<pid_t> readPidFile(const std::string& path);

// Whether the process is the pppd of that link: its program is our pppd (checked through
// /proc/PID/exe where we may read it) and its arguments hold "linkname LINK".
bool isLinkProcess(pid_t pid, const ToolPaths& paths, std::string_view linkName);

// The pid of the pppd running the entry's link, if one is.
std::optional<pid_t> linkProcess(const ToolPaths& paths, std::string_view entry);

// Variables that could change what a root process does (the loader's, the C library's,
// Qt's, the tool's own); test hooks allow the RASDIAL_TEST_* ones.
bool isDangerousVariable(std::string_view assignment, bool testHooks);

// The privileged part: refuses to run with the wrong user or environment, reads one request
// from standard input and carries it out. Prints the outcome; returns the error code.
int runLinkHelper(const ToolPaths& paths, char** environment);

// The same, for a request already read and checked (the dial and the hang-up themselves).
int dialLink(const ToolPaths& paths, const LinkRequest& request);
int hangUpLink(const ToolPaths& paths, const std::string& entry);

} // namespace rasdial

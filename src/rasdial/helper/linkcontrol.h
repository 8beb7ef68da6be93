#pragma once

#include "linkrequest.h"
#include "toolpaths.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The privileged helper's work: reading its caller's request, dialling with pppd and hanging
// up. Plain POSIX, no Qt: this is what runs as root.
namespace rasdial {

// At most this many requests of one user run at once, and this many links of one user.
constexpr int MaxHelpersPerUser = 4;
constexpr int MaxLinksPerUser = 2;

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
// A dial ends early, with UserDisconnection, once `cancel` (or -1) is readable or hung up.
// The request's password is wiped once pppd has it (in its file).
int dialLink(const ToolPaths& paths, LinkRequest& request, int cancel = -1);
int hangUpLink(const ToolPaths& paths, std::uint32_t owner, const std::string& entry);

// IPv6's block (ipv6block.h) goes unless a link of the tool's is up (its pppd runs): pppd's
// ip-down hook takes it away when a link goes down, this is for a pppd that could not run
// the hook (killed with SIGKILL, by the out-of-memory killer, crashed). At every dial and
// hang-up.
void sweepIpv6Block(const ToolPaths& paths);

} // namespace rasdial

#pragma once

#include "linkrequest.h"

#include <string>
#include <string_view>
#include <vector>

// How a phonebook entry becomes a PPTP link run by pppd with the pptp client.
namespace rasdial {

// pppd's link name for an entry, which also names its pid file "ppp-NAME.pid": "rasdial-",
// the entry's letters, digits, "-" and "_" (at most 32), "-", and 12 hex digits of a hash
// of the whole name, so that entries differing only in other characters stay apart.
std::string safeLinkName(std::string_view entry);

// The file descriptor on which pppd reads the password (passwordfd plugin).
constexpr int PasswordFd = 3;

// pppd's arguments (after the program name) for a checked dial request. Every option is
// chosen here; the request gives only values, each in an argument of its own, and the server
// address, which has passed isHostOrAddress, is the only value in the pty command.
std::vector<std::string> pppdArguments(const LinkRequest& request, const std::string& pptpProgram);

// How long one attempt may take before the tool gives up on it: the TCP connect, LCP's ten
// tries of 3 s and the authentication end within about a minute; this allows two.
constexpr int AttemptLimitSeconds = 120;

// How many attempts a dial makes: the first and the entry's redials, which apply only to a
// dial that never came up.
int dialAttempts(const LinkRequest& request);

// The error for pppd's exit status and what it said while dialling (its standard output), and
// pppd's reason in words.
int codeForPppdExit(int status, std::string_view pppdOutput);
std::string pppdExitReason(int status);

// Whether pppd's output says that we failed to authenticate to the server. pppd's exit status
// does not tell reliably: when the server closes the call right after refusing, pppd ends
// with "modem hangup" (16) instead of "authentication failed" (19).
bool saysAuthenticationFailed(std::string_view pppdOutput);

} // namespace rasdial

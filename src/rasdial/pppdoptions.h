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

// How long a dial may take before the tool gives up: every attempt pppd makes, with the
// pauses between them.
int dialLimitSeconds(const LinkRequest& request);

// The error for pppd's exit status, and pppd's reason in words.
int codeForPppdExit(int status);
std::string pppdExitReason(int status);

} // namespace rasdial

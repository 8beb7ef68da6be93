#pragma once

#include "linkrequest.h"

#include <string>
#include <string_view>
#include <vector>

// How a phonebook entry becomes a PPTP link run by pppd with the pptp client.
namespace rasdial {

// pppd's link name for a user's entry, which also names its pid file "ppp-NAME.pid":
// "rasdial-", the owner's uid, "-", and the SHA-256 of the entry name in hex. Each user's links
// are their own, and no two entry names share a link.
std::string linkName(std::uint32_t owner, std::string_view entry);

// pppd's arguments (after the program name) for a checked dial request. Every option is
// chosen here; the request gives only values. What is the user's own (the server, the account,
// the password) is in the options file (see pppdSecrets), never in an argument that every
// local user can read for as long as the link runs.
std::vector<std::string> pppdArguments(const LinkRequest& request, const std::string& secretsFile);

// The options file with the user's values: `pty "PPTP SERVER --nolaunchpppd"` (pppd runs it
// through the shell; the server has passed isHostOrAddress), `user "..."` and
// `password "..."`. Every byte but letters, digits and those beyond ASCII is written as a
// three-digit octal escape, which pppd's option reader turns back into the byte.
// In one allocation, for the caller to wipe (wipeString) once written.
std::string pppdSecrets(const LinkRequest& request, const std::string& pptpProgram);

// How long one attempt may take before the tool gives up on it: the TCP connect, LCP's ten
// tries of 3 s and the authentication end within about a minute; this allows two.
constexpr int AttemptLimitSeconds = 120;

// The error for pppd's exit status and what it said while dialling (its standard output), and
// pppd's reason in words.
int codeForPppdExit(int status, std::string_view pppdOutput);
std::string pppdExitReason(int status);

// Whether pppd's output says that we failed to authenticate to the server. pppd's exit status
// does not tell reliably: when the server closes the call right after refusing, pppd ends
// with "modem hangup" (16) instead of "authentication failed" (19).
bool saysAuthenticationFailed(std::string_view pppdOutput);

} // namespace rasdial

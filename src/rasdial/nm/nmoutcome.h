#pragma once

#include <string>

// What NetworkManager's reasons (NMActiveConnectionStateReason) for ending a dial before its
// link came up become: the tool's outcome, and a note that says no more than is known.
//
// As NetworkManager 1.42 and its PPTP plugin 1.2.12 give them (seen in the NetworkManager
// guest, tests/tunnel/nm-guest.sh):
//   0 UNKNOWN, 4 SERVICE_STOPPED  every failure of the PPP negotiation, a refused password
//            included, and pppd's own failures (its exit status 2, an error in its options,
//            came as 4): which of the two depends on whether the plugin hears its pppd or its
//            own stop first;
//   9 NO_SECRETS  no agent gave the profile's password (another profile's activation, whose
//            password rasdial's agent refused, ended so);
//   10 LOGIN_FAILED  despite its name, raised by the plugin only when pppd exits with status
//            2 (an error in its options; pppd says 19 for a refused password, which the plugin
//            does not map), and then overtaken by the plugin's own stop: not seen in the guest.
namespace rasdial::nm {

int codeForFailure(unsigned reason);

// The reason in words, for the note the tool writes; it ends with the number.
std::string reasonText(unsigned reason);

} // namespace rasdial::nm

#pragma once

#include "ipv6block.h"
#include "linkrequest.h"

#include <string>
#include <utility>
#include <vector>

typedef struct _NMConnection NMConnection;

// How a dial becomes a NetworkManager VPN profile for its PPTP plugin. Plain rules, no
// NetworkManager library but for newConnection.
namespace rasdial::nm {

constexpr const char* PptpService = "org.freedesktop.NetworkManager.pptp";
// The profile's own tags (its user data): which entry and whose dial it is, so that the tool
// finds its own profiles among the user's others.
constexpr const char* EntryKey = "net.miravon.rasdial.entry";
constexpr const char* OwnerKey = "net.miravon.rasdial.uid";

struct Profile {
    // The plugin's settings ("vpn.data"), the password excluded: the plugin refuses any key it
    // does not know, and treats a key left out as "no" (no LCP echoes at all, for one).
    std::vector<std::pair<std::string, std::string>> vpnData;
    bool neverDefault = true;
    // Lower wins; negative: only this link's name servers while it is up. 0: NetworkManager's.
    int dnsPriority = 0;
    // Unreachable while the link is up (ipv6block.h): PPTP carries IPv4 only, so a link that
    // takes the default route would otherwise leave IPv6 going around it.
    std::vector<Ipv6Prefix> blockedIpv6;
};

// What NetworkManager offers a dial: whether it runs, has the PPTP plugin and a primary
// connection (a VPN needs one to go through).
struct Availability {
    bool running = false;
    bool pptpPlugin = false;
    bool primaryConnection = false;
    // NetworkManager shows a user's own profile only while the user has a login session (root
    // needs none): without one, its answers wait on polkit and end in a refusal.
    bool userSession = true;
};

// The profile for a checked dial request whose server has been resolved to `gateway`.
Profile profileFor(const LinkRequest& request, const std::string& gateway);

// The profile as NetworkManager takes it: a VPN of the PPTP plugin's, never started by
// itself, that only the user `login` sees and controls, tagged with the entry and its owner
// (request.owner). A new object, for the caller to unref.
NMConnection* newConnection(const LinkRequest& request, const Profile& profile,
                            const std::string& login);

} // namespace rasdial::nm

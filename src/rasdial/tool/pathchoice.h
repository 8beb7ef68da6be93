#pragma once

#include "nmprofile.h"

#include <optional>
#include <string>

// Which way a dial goes: through NetworkManager where it owns the network, else through pppd
// run by the tool's privileged helper. Chosen once per dial, here, with the reason said.
namespace rasdial {

// RASDIAL_VIA: "helper" or "networkmanager" forces a path; unset or empty lets the tool choose.
constexpr const char* ViaVariable = "RASDIAL_VIA";
enum class Via { Choose, Helper, NetworkManager };
std::optional<Via> parseVia(const char* value);

struct PathChoice {
    bool networkManager = false;
    bool refused = false; // NetworkManager was asked for and cannot dial
    std::string reason;
};

// `offer` is nothing where NetworkManager cannot be reached at all (no system bus).
PathChoice choosePath(Via via, const std::optional<nm::Availability>& offer);

} // namespace rasdial

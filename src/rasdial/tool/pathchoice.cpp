#include "pathchoice.h"

#include <cstring>

namespace rasdial {

std::optional<Via> parseVia(const char* value) {
    if (!value || !*value) return Via::Choose;
    if (std::strcmp(value, "helper") == 0) return Via::Helper;
    if (std::strcmp(value, "networkmanager") == 0) return Via::NetworkManager;
    return std::nullopt;
}

PathChoice choosePath(Via via, const std::optional<nm::Availability>& offer) {
    if (via == Via::Helper) return {false, false, std::string(ViaVariable) + "=helper"};
    std::string missing;
    if (!offer)
        missing = "the system bus cannot be reached";
    else if (!offer->running)
        missing = "NetworkManager does not run";
    else if (!offer->pptpPlugin)
        missing = "NetworkManager's PPTP plugin (network-manager-pptp) is not installed";
    else if (!offer->primaryConnection)
        missing = "NetworkManager has no primary connection to dial over";
    else if (!offer->userSession)
        missing = "NetworkManager dials only for users with a login session";
    if (missing.empty())
        return {true, false,
                via == Via::NetworkManager ? std::string(ViaVariable) + "=networkmanager"
                                           : "NetworkManager owns the network"};
    return {false, via == Via::NetworkManager, missing};
}

} // namespace rasdial

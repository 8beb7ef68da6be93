#include "ppppolicy.h"

#include "platform/raslayout.h"

namespace rasdial {

PppPolicy pppPolicy(const LinkRequest& request) {
    using namespace ras;
    PppPolicy policy;
    if (request.encryption == ET_RequireMax)
        policy.encryption = Encryption::Strong128;
    else if (request.encryption != ET_None)
        policy.encryption = Encryption::Any;
    const bool encrypted = policy.encryption != Encryption::None;

    // The entry names the protocols it allows; none named means all.
    const std::uint32_t auth = RASEO_RequirePAP | RASEO_RequireSPAP | RASEO_RequireCHAP |
                               RASEO_RequireMsCHAP | RASEO_RequireMsCHAP2;
    const bool all = !(request.options & auth);
    const auto allows = [&](std::uint32_t bit) { return all || (request.options & bit); };
    policy.refusePap = encrypted || !allows(RASEO_RequirePAP);
    policy.refuseChap = encrypted || !allows(RASEO_RequireCHAP);
    policy.refuseMsChap = !allows(RASEO_RequireMsCHAP);
    policy.refuseMsChapV2 = !allows(RASEO_RequireMsCHAP2);
    policy.defaultRoute = request.options & RASEO_RemoteDefaultGateway;
    return policy;
}

} // namespace rasdial

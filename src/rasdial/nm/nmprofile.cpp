#include "nmprofile.h"

#include "ppppolicy.h"
#include "rasdialerrors.h"

#include "libnm.h"

namespace rasdial::nm {

Profile profileFor(const LinkRequest& request, const std::string& gateway) {
    const PppPolicy policy = pppPolicy(request);
    Profile profile;
    auto& data = profile.vpnData;
    // The address, so that the name is looked up once, by the tool, and a name with several
    // addresses cannot lead the plugin to another server than the one the tool knocked at.
    data.emplace_back("gateway", gateway);
    data.emplace_back("user", request.user);
    data.emplace_back("password-flags", std::to_string(NM_SETTING_SECRET_FLAG_NOT_SAVED));
    switch (policy.encryption) {
    case Encryption::Strong128:
        data.emplace_back("require-mppe-128", "yes");
        break;
    case Encryption::Any:
        data.emplace_back("require-mppe", "yes");
        break;
    case Encryption::None:
        break; // pppd's own default: no MPPE
    }
    data.emplace_back("refuse-eap", "yes");
    const std::pair<bool, const char*> refusals[] = {{policy.refusePap, "refuse-pap"},
                                                     {policy.refuseChap, "refuse-chap"},
                                                     {policy.refuseMsChap, "refuse-mschap"},
                                                     {policy.refuseMsChapV2, "refuse-mschapv2"}};
    for (const auto& [refused, key] : refusals)
        if (refused) data.emplace_back(key, "yes");
    data.emplace_back("nobsdcomp", "yes");
    data.emplace_back("nodeflate", "yes");
    data.emplace_back("lcp-echo-interval", std::to_string(LcpEchoInterval));
    data.emplace_back("lcp-echo-failure", std::to_string(LcpEchoFailure));

    profile.neverDefault = !policy.defaultRoute;
    if (policy.defaultRoute) {
        profile.dnsPriority = -50;
        profile.blockedIpv6 = {{"::", 1}, {"8000::", 1}};
    }
    return profile;
}

int codeForFailure(unsigned reason) {
    switch (reason) {
    case NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED:
    case NM_ACTIVE_CONNECTION_STATE_REASON_CONNECTION_REMOVED:
        return UserDisconnection;
    case NM_ACTIVE_CONNECTION_STATE_REASON_LOGIN_FAILED:
        return AuthenticationFailed;
    case NM_ACTIVE_CONNECTION_STATE_REASON_UNKNOWN:
        // The PPTP plugin ends every failure of the PPP negotiation so, a refused password
        // included: the server answered (the tool knocked first) and PPP ended before the
        // link came up. That is all that can honestly be said.
        return PppTerminated;
    default:
        return TunnelFailed;
    }
}

std::string reasonText(unsigned reason) {
    switch (reason) {
    case NM_ACTIVE_CONNECTION_STATE_REASON_UNKNOWN:
        return "the PPP negotiation ended (NetworkManager does not say whether the password "
               "was refused, the encryption did not match or the tunnel (GRE) is blocked)";
    case NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED:
        return "hung up";
    case NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_DISCONNECTED:
        return "the network connection underneath went down";
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_STOPPED:
        return "the PPTP plugin stopped";
    case NM_ACTIVE_CONNECTION_STATE_REASON_IP_CONFIG_INVALID:
        return "the link's addresses were invalid";
    case NM_ACTIVE_CONNECTION_STATE_REASON_CONNECT_TIMEOUT:
        return "the link did not come up in time";
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_START_TIMEOUT:
        return "the PPTP plugin did not start in time";
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_START_FAILED:
        return "the PPTP plugin failed to start";
    case NM_ACTIVE_CONNECTION_STATE_REASON_NO_SECRETS:
        return "no password reached the plugin";
    case NM_ACTIVE_CONNECTION_STATE_REASON_LOGIN_FAILED:
        return "the password was refused";
    case NM_ACTIVE_CONNECTION_STATE_REASON_CONNECTION_REMOVED:
        return "the profile was removed";
    default:
        return "reason " + std::to_string(reason);
    }
}

} // namespace rasdial::nm

#include "nmoutcome.h"

#include "rasdialerrors.h"

#include "libnm.h"

namespace rasdial::nm {

int codeForFailure(unsigned reason) {
    switch (reason) {
    case NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED:
    case NM_ACTIVE_CONNECTION_STATE_REASON_CONNECTION_REMOVED:
        return UserDisconnection;
    case NM_ACTIVE_CONNECTION_STATE_REASON_UNKNOWN:
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_STOPPED:
        // The server answered (the tool knocked first) and PPP ended before the link came up.
        // That is all that can honestly be said.
        return PppTerminated;
    case NM_ACTIVE_CONNECTION_STATE_REASON_NO_SECRETS:
        return NeedsInformation;
    default:
        // LOGIN_FAILED among them: pppd did not even start its negotiation.
        return TunnelFailed;
    }
}

std::string reasonText(unsigned reason) {
    std::string text;
    switch (reason) {
    case NM_ACTIVE_CONNECTION_STATE_REASON_UNKNOWN:
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_STOPPED:
        text = "PPP ended before the link came up, and NetworkManager's PPTP plugin does not say "
               "why: the server refused the user name or password, the encryption did not match, "
               "the tunnel (GRE) is blocked, or pppd itself failed (the system log says which)";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED:
        text = "hung up";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_DISCONNECTED:
        text = "the network connection underneath went down";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_IP_CONFIG_INVALID:
        text = "the link's addresses were invalid";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_CONNECT_TIMEOUT:
        text = "the link did not come up in time";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_START_TIMEOUT:
        text = "the PPTP plugin did not start in time";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_START_FAILED:
        text = "the PPTP plugin failed to start";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_NO_SECRETS:
        text = "no password reached NetworkManager for the profile: no agent gave one";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_LOGIN_FAILED:
        text = "pppd did not start: it refused its options (NetworkManager calls this \"invalid "
               "secrets\", which its PPTP plugin says only for pppd's exit status 2, an error in "
               "its options; see the system log)";
        break;
    case NM_ACTIVE_CONNECTION_STATE_REASON_CONNECTION_REMOVED:
        text = "the profile was removed";
        break;
    default:
        text = "NetworkManager gave no reason this tool knows";
        break;
    }
    return text + " (reason " + std::to_string(reason) + ")";
}

} // namespace rasdial::nm

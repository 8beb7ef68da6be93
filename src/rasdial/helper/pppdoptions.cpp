#include "pppdoptions.h"

#include "ppppolicy.h"
#include "rasdialerrors.h"
#include "sha256.h"

#include <cstdio>

namespace rasdial {

std::string linkName(std::uint32_t owner, std::string_view entry) {
    return "rasdial-" + std::to_string(owner) + '-' + sha256Hex(entry);
}

std::string pppdSecrets(const LinkRequest& request, const std::string& pptpProgram) {
    // In one allocation, with room for every byte escaped (four each), so that no copy of the
    // password is left behind by a growth; the caller wipes it once written.
    std::string out;
    out.reserve(
        64 + 4 * (pptpProgram.size() + MaxServerBytes + request.user.size() + Password::Capacity));
    const auto word = [&out](std::initializer_list<std::string_view> parts) {
        out += '"';
        for (const std::string_view value : parts)
            for (const char c : value) {
                const auto byte = static_cast<unsigned char>(c);
                const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                   (c >= '0' && c <= '9') || byte >= 0x80;
                if (plain) {
                    out += c;
                } else {
                    char escaped[5];
                    std::snprintf(escaped, sizeof escaped, "\\%03o", byte);
                    out += escaped;
                }
            }
        out += '"';
    };
    out += "pty ";
    word({pptpProgram, " ", request.server, " --nolaunchpppd"});
    out += "\nuser ";
    word({request.user});
    out += "\npassword ";
    word({request.password.view()});
    out += '\n';
    return out;
}

std::vector<std::string> pppdArguments(const LinkRequest& request, const std::string& secretsFile) {
    std::vector<std::string> args{
        "file", secretsFile, "linkname", linkName(request.owner, request.entry),
        // Tells pppd's hooks that the link is ours (the systemd-resolved one acts on ours only).
        "ipparam", "rasdial",
        // pppd returns once the link is up (or has failed), leaving it running.
        "updetach",
        // The server does not authenticate to us; we never use EAP.
        "noauth", "refuse-eap"};

    const PppPolicy policy = pppPolicy(request);
    switch (policy.encryption) {
    case Encryption::Strong128:
        args.push_back("require-mppe-128");
        break;
    case Encryption::Any:
        args.push_back("require-mppe");
        break;
    case Encryption::None:
        args.push_back("nomppe");
        break;
    }
    if (policy.refusePap) args.push_back("refuse-pap");
    if (policy.refuseChap) args.push_back("refuse-chap");
    if (policy.refuseMsChap) args.push_back("refuse-mschap");
    if (policy.refuseMsChapV2) args.push_back("refuse-mschap-v2");

    // Compression schemes of Linux pppd that Windows servers do not speak.
    args.insert(args.end(), {"nobsdcomp", "nodeflate"});
    if (policy.defaultRoute)
        args.insert(args.end(), {"defaultroute", "replacedefaultroute"});
    args.insert(args.end(),
                {"usepeerdns", "noipv6", "lcp-echo-interval", std::to_string(LcpEchoInterval),
                 "lcp-echo-failure", std::to_string(LcpEchoFailure),
                 // The server gives our address: no look-up of our own host name, which
                 // stalls for as long as the name servers take when it is not in /etc/hosts.
                 "noipdefault",
                 // After "updetach" pppd cannot reap the pptp client it started before, and
                 // would wait 5 s for it when hung up; pptp ends by itself once the link has.
                 "child-timeout", "1"});
    // No "persist": a link that drops stays down, so that the connector sees the drop and
    // nothing dials again behind its back.
    return args;
}

bool saysAuthenticationFailed(std::string_view pppdOutput) {
    // pppd's lines for our own authentication failing ("MS-CHAP authentication failed: E=691
    // ...", "CHAP authentication failed", "PAP authentication failed"); the peer failing to
    // authenticate to us says "peer authentication failed", which we never ask for.
    for (std::size_t start = 0; start < pppdOutput.size();) {
        std::size_t end = pppdOutput.find('\n', start);
        if (end == std::string_view::npos) end = pppdOutput.size();
        const std::string_view line = pppdOutput.substr(start, end - start);
        for (const std::string_view method : {"MS-CHAP", "CHAP", "PAP", "EAP"})
            if (line.substr(0, method.size()) == method &&
                line.substr(method.size(), 22) == " authentication failed")
                return true;
        start = end + 1;
    }
    return false;
}

int codeForPppdExit(int status, std::string_view pppdOutput) {
    if (status != 0 && saysAuthenticationFailed(pppdOutput)) return AuthenticationFailed;
    switch (status) {
    case 0:
        return Success;
    case 5:
        return UserDisconnection; // SIGTERM or SIGHUP: hung up while dialling
    case 19:
        return AuthenticationFailed; // we failed to authenticate to the server
    default:
        return TunnelFailed;
    }
}

std::string pppdExitReason(int status) {
    switch (status) {
    case 1:
        return "an immediately fatal error";
    case 2:
        return "an error in the options";
    case 3:
        return "not run as root";
    case 4:
        return "the kernel has no PPP support";
    case 5:
        return "hung up by a signal";
    case 8:
        return "the pptp client failed";
    case 9:
        return "the pptp client could not be run";
    case 10:
        return "the PPP negotiation failed";
    case 11:
        return "the server refused to authenticate";
    case 15:
        return "the server stopped answering";
    case 16:
        return "the link was closed";
    case 19:
        return "authentication failed";
    default:
        return "exit status " + std::to_string(status);
    }
}

} // namespace rasdial

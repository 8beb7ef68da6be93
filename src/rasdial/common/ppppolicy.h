#pragma once

#include "linkrequest.h"

// What an entry asks of its PPP link, read once from the entry's fields, so that the helper's
// pppd and NetworkManager's PPTP plugin are given the same link.
namespace rasdial {

enum class Encryption { None, Any, Strong128 };

struct PppPolicy {
    // pppd cannot ask for encryption without insisting on it: optional encryption is dialled
    // as required, so a link is never left unencrypted without the user knowing.
    Encryption encryption = Encryption::None;
    // Authentication methods the link refuses. EAP always; PAP and CHAP also whenever
    // encryption is required, because MPPE's keys come only from MS-CHAP.
    bool refusePap = false;
    bool refuseChap = false;
    bool refuseMsChap = false;
    bool refuseMsChapV2 = false;
    // The default route (and then the name servers) through the tunnel.
    bool defaultRoute = false;
};

PppPolicy pppPolicy(const LinkRequest& request);

// Dead-peer detection: an echo every 30 s, the link is dropped after 5 unanswered ones.
constexpr int LcpEchoInterval = 30;
constexpr int LcpEchoFailure = 5;

} // namespace rasdial

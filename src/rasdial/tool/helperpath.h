#pragma once

#include "linkrequest.h"
#include "toolpaths.h"

#include <optional>
#include <string>

// The user's side of the helper path: pppd and pptp run as root by the tool's privileged
// helper, which pkexec starts for an ordinary user. The helper says the outcome itself.
namespace rasdial {

class HelperPath {
public:
    // `self` is the absolute path of this program, beside which the helper is found.
    HelperPath(const ToolPaths& paths, std::string self) : paths_(paths), self_(std::move(self)) {}

    // Dials; a SIGTERM, SIGINT or SIGHUP meanwhile (HangUpSignals) makes the helper hang up
    // what it started. The request's password is wiped once the helper has it.
    int dial(LinkRequest& request);
    // Nothing when this user has no link of the entry (root: the helper looks for any user's).
    std::optional<int> hangUp(const std::string& entry);
    bool isConnected(const std::string& entry) const;

private:
    int run(LinkRequest& request);
    const ToolPaths& paths_;
    std::string self_;
};

} // namespace rasdial

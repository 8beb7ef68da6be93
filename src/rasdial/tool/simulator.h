#pragma once

#include "linkrequest.h"

#include <string>
#include <string_view>

// The simulated link of the local maker site: instead of running pppd, the tool asks the site
// to check the credentials; while the simulated tunnel is up, the site's lookup page shows
// this machine a different exit address. Chosen by RASDIAL_SIMULATOR=http://HOST[:PORT].
namespace rasdial {

constexpr const char* SimulatorVariable = "RASDIAL_SIMULATOR";

// A plain "http://HOST[:PORT]" address, at most 200 characters, nothing after it but a "/".
bool isSimulatorAddress(std::string_view address);

// Every request to the site ends within this time, answered or not.
constexpr int SimulatorLimitMs = 10000;

// Each prints its outcome and returns the error code.
int simulatedDial(const std::string& site, const LinkRequest& request);
int simulatedHangUp(const std::string& site, const std::string& entry);
int simulatedList(const std::string& site);

} // namespace rasdial

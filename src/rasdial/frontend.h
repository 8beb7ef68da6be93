#pragma once

#include "arguments.h"
#include "toolpaths.h"

#include <string>

// The user's side of the dial tool: reads the user's phonebook, then dials or hangs up through
// the simulated link of the local site, or through the privileged part (pkexec when not root).
namespace rasdial {

// `self` is the absolute path of this program, which pkexec starts as the privileged part.
// Returns the process exit status.
int runCommand(const Command& command, const ToolPaths& paths, const std::string& self);

// The argument that makes this program its privileged part.
constexpr const char* LinkHelperSwitch = "--link-helper";

} // namespace rasdial

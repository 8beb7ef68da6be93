#pragma once

#include "arguments.h"
#include "toolpaths.h"

#include <string>

// The user's side of the dial tool: reads the user's phonebook, then dials or hangs up through
// the simulated link of the local site, or through the privileged part (pkexec when not root).
namespace rasdial {

// `self` is the absolute path of this program, beside which its privileged helper is found.
// Returns the process exit status.
// Returns the process exit status. The command's password is wiped once the dial no longer
// needs it.
int runCommand(Command& command, const ToolPaths& paths, const std::string& self);

} // namespace rasdial

#pragma once

#include <QString>

// The name of the local socket at which the user's one connector answers later starts: a path
// in the user's private runtime folder on Linux; on Windows a named pipe's name, which holds the
// user's SID and the logon session's number (pipes are seen machine-wide, across sessions).
QString defaultInstanceName();

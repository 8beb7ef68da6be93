#pragma once

#include "linkfiles.h"

#include <string>

// A user's dial of an entry that is in progress, as the user's own tool sees it: the dialling
// rasdial holds a lock file with its pid in the user's runtime folder, so that a second dial
// of the entry is refused, and `rasdial ENTRY /d` can end the dial before it comes up.
namespace rasdial {

class DialGuard {
public:
    enum class Outcome { Held, Busy, Unavailable };
    // Takes the entry's lock for this process. Unavailable: the user has no private runtime
    // folder; the dial goes on unguarded.
    Outcome take(const std::string& entry);

private:
    LockFile lock_;
};

// Ends this user's dial of the entry that is still in progress, if there is one: SIGTERM to
// the dialling rasdial, which hangs up what it started, then waits up to `ms` for it to end.
// True when there was one.
bool endDialInProgress(const std::string& entry, int ms);

} // namespace rasdial

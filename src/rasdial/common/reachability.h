#pragma once

#include <string>

// What a dial finds out about its server before it hands the call on, on either path: the
// name looked up once (so that a name that does not resolve is told as such), and a knock at
// the PPTP port (so that a server that does not answer is told within seconds, not after the
// kernel's two minutes of TCP retries). Plain POSIX, no Qt.
namespace rasdial {

constexpr int KnockSeconds = 10;

// The server's IPv4 address, for a host name or a dotted address.
bool resolveServer(const std::string& server, std::string* address);

enum class Lookup { Found, NotFound, Cancelled };

// The same, where a descriptor `cancel` (or -1) that becomes readable or hung up ends the wait:
// the caller gave up. The lookup runs on a thread of its own, which a cancel leaves to end by
// itself (the resolver has no way to stop it).
Lookup resolveServer(const std::string& server, std::string* address, int cancel);

enum class Knock { Answered, Silent, Cancelled };

// Whether the server accepts a TCP connection on the port within KnockSeconds. A descriptor
// `cancel` (or -1) that becomes readable or hung up ends the wait: the caller gave up.
Knock knockAt(const std::string& address, int port, int cancel = -1);

// Waits until `fd` has one of `events`, at most `ms` milliseconds; a readable or hung-up
// `cancel` (or -1) ends the wait early. 1: ready, 0: timed out, -1: cancelled.
int pollWithCancel(int fd, short events, int cancel, int ms);

} // namespace rasdial

#pragma once

#include <string>
#include <vector>

// IPv6 while a dial's link carries the default route: unreachable, PPTP carrying IPv4 only, by
// routes to the prefixes of RASDIAL_BLOCKED_IPV6 (CMakeLists.txt, the one list: pppd's hooks
// have it from there too) of protocol RASDIAL_ROUTE_PROTOCOL, which marks them as ours.
namespace rasdial {

struct Ipv6Prefix {
    std::string address;
    unsigned length = 0;
};

std::vector<Ipv6Prefix> blockedIpv6();

// Whether the kernel's IPv6 routes (as /proc/net/ipv6_route lists them, in `table`) hold an
// unreachable route to one of the block's prefixes.
bool hasIpv6Block(const std::string& table);

} // namespace rasdial

#include "ipv6block.h"

#include <arpa/inet.h>
#include <cstdio>
#include <sstream>

namespace rasdial {

std::vector<Ipv6Prefix> blockedIpv6() {
    std::vector<Ipv6Prefix> prefixes;
    std::istringstream words(RASDIAL_BLOCKED_IPV6);
    std::string word;
    while (words >> word) {
        const auto slash = word.find('/');
        prefixes.push_back({word.substr(0, slash), unsigned(std::stoul(word.substr(slash + 1)))});
    }
    return prefixes;
}

bool hasIpv6Block(const std::string& table) {
    // One line per route: destination (32 hex digits), its prefix length (hex), source and its
    // length, next hop, metric, references, use, flags (hex; RTF_REJECT 0x200), device.
    std::istringstream lines(table);
    std::string destination, length, source, sourceLength, hop, metric, references, use, flags;
    while (lines >> destination >> length >> source >> sourceLength >> hop >> metric >>
           references >> use >> flags) {
        std::string device;
        lines >> device;
        if (!(std::stoul(flags, nullptr, 16) & 0x200)) continue;
        for (const Ipv6Prefix& prefix : blockedIpv6()) {
            unsigned char bytes[16];
            if (inet_pton(AF_INET6, prefix.address.c_str(), bytes) != 1) continue;
            char hex[33];
            for (int i = 0; i < 16; ++i)
                std::snprintf(hex + 2 * i, 3, "%02x", bytes[i]);
            if (destination == hex && std::stoul(length, nullptr, 16) == prefix.length) return true;
        }
    }
    return false;
}

} // namespace rasdial

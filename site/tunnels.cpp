#include "tunnels.h"

#include "pages.h"

#include <sstream>

namespace tunnels {

Login checkLogin(const std::string& serverList, const std::string& server, const std::string& user,
                 const std::string& password, std::time_t now) {
    std::istringstream lines(serverList);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t colon = line.find(':');
        const std::size_t semicolon = line.find(';', colon);
        const std::size_t hash = line.find('#', semicolon);
        if (colon == std::string::npos || semicolon == std::string::npos ||
            hash == std::string::npos)
            continue;
        if (line.substr(colon + 1, semicolon - colon - 1) != server) continue;
        const std::string account = line.substr(semicolon + 1, hash - semicolon - 1);
        if (user != account) return Login::Refused;
        if (account == "cvpn" || account == "uvpn" || account == "avpn") {
            const bool current = password == pages::hourlyPassword(account, now);
            const bool lastHour =
                now % 3600 < 60 && password == pages::hourlyPassword(account, now - 3600);
            return current || lastHour ? Login::Accepted : Login::Refused;
        }
        return password == line.substr(hash + 1) ? Login::Accepted : Login::Refused;
    }
    return Login::UnknownServer;
}

void Tunnels::dropExpired() {
    if (lifetime_.count() == 0) return;
    const auto now = std::chrono::steady_clock::now();
    for (auto it = tunnels_.begin(); it != tunnels_.end();)
        it = now - it->second.opened >= lifetime_ ? tunnels_.erase(it) : std::next(it);
}

bool Tunnels::open(const std::string& caller, const std::string& entry) {
    std::lock_guard lock(mutex_);
    dropExpired();
    return tunnels_.emplace(caller, Tunnel{entry, std::chrono::steady_clock::now()}).second;
}

bool Tunnels::close(const std::string& caller) {
    std::lock_guard lock(mutex_);
    dropExpired();
    return tunnels_.erase(caller) > 0;
}

std::optional<std::string> Tunnels::entry(const std::string& caller) {
    std::lock_guard lock(mutex_);
    dropExpired();
    const auto found = tunnels_.find(caller);
    if (found == tunnels_.end()) return std::nullopt;
    return found->second.entry;
}

} // namespace tunnels

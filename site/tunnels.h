#pragma once

#include <chrono>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <string>

// The simulated VPN links of the local site. A dial names a server of the list with an account
// and a password; when they match, the caller's "tunnel" is up and the lookup page shows the
// caller the exit address instead of its own, until it hangs up or the site drops the link.
namespace tunnels {

constexpr const char* ExitAddress = "203.0.113.7";

enum class Login { Accepted, Refused, UnknownServer };

// Checks a login against the server list (UTF-8, "name:address;account#password" lines). A
// marker account (cvpn, uvpn, avpn) needs the password its page shows at `now`; in the first
// minute of an hour the last hour's password still counts, as a dial may start just before
// the change.
Login checkLogin(const std::string& serverList, const std::string& server, const std::string& user,
                 const std::string& password, std::time_t now);

class Tunnels {
public:
    // A link drops on its own after `lifetime`; zero keeps it until hung up.
    explicit Tunnels(std::chrono::seconds lifetime) : lifetime_(lifetime) {}

    // False when the caller's tunnel was already up (it stays as it was).
    bool open(const std::string& caller, const std::string& entry);
    // False when there was no tunnel.
    bool close(const std::string& caller);
    // The entry of the caller's tunnel while it is up.
    std::optional<std::string> entry(const std::string& caller);

private:
    struct Tunnel {
        std::string entry;
        std::chrono::steady_clock::time_point opened;
    };
    void dropExpired(); // with mutex_ held

    std::chrono::seconds lifetime_;
    std::mutex mutex_;
    std::map<std::string, Tunnel> tunnels_;
};

} // namespace tunnels

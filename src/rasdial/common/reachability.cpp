#include "reachability.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace rasdial {

bool resolveServer(const std::string& server, std::string* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    char text[INET_ADDRSTRLEN];
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const bool ok = inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text) != nullptr;
    freeaddrinfo(found);
    if (ok) *address = text;
    return ok;
}

Lookup resolveServer(const std::string& server, std::string* address, int cancel) {
    if (cancel < 0) return resolveServer(server, address) ? Lookup::Found : Lookup::NotFound;
    // What the lookup's thread and its caller share: whichever lets go last closes the pipe.
    struct Shared {
        std::string server, address;
        bool found = false;
        int done[2] = {-1, -1};
        ~Shared() {
            for (const int end : done)
                if (end >= 0) close(end);
        }
    };
    auto shared = std::make_shared<Shared>();
    shared->server = server;
    if (pipe2(shared->done, O_CLOEXEC) != 0)
        return resolveServer(server, address) ? Lookup::Found : Lookup::NotFound;
    try {
        std::thread([shared] {
            shared->found = resolveServer(shared->server, &shared->address);
            const char byte = 1;
            [[maybe_unused]] const ssize_t n = write(shared->done[1], &byte, 1);
        }).detach();
    } catch (const std::system_error&) {
        return resolveServer(server, address) ? Lookup::Found : Lookup::NotFound;
    }
    if (pollWithCancel(shared->done[0], POLLIN, cancel, INT_MAX) <= 0) return Lookup::Cancelled;
    if (!shared->found) return Lookup::NotFound;
    *address = shared->address;
    return Lookup::Found;
}

int pollWithCancel(int fd, short events, int cancel, int ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    pollfd items[2] = {{fd, events, 0}, {cancel, POLLIN, 0}};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = poll(items, cancel >= 0 ? 2 : 1, left > 0 ? int(left) : 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return 0;
        if (cancel >= 0 && items[1].revents) return -1;
        return 1;
    }
}

Knock knockAt(const std::string& address, int port, int cancel) {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(std::uint16_t(port));
    if (inet_pton(AF_INET, address.c_str(), &server.sin_addr) != 1) return Knock::Silent;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return Knock::Silent;
    Knock outcome = Knock::Silent;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0) {
        outcome = Knock::Answered;
    } else if (errno == EINPROGRESS) {
        const int ready = pollWithCancel(fd, POLLOUT, cancel, KnockSeconds * 1000);
        int error = 0;
        socklen_t length = sizeof error;
        if (ready < 0)
            outcome = Knock::Cancelled;
        else if (ready > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                 error == 0)
            outcome = Knock::Answered;
    }
    close(fd);
    return outcome;
}

} // namespace rasdial

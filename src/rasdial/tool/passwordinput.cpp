#include "passwordinput.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace rasdial {

std::optional<std::string> readPasswordLine(int fd, std::size_t limit, int timeoutMs,
                                            std::string* problem) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    // A byte at a time: nothing after the line end is taken from the input.
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd item{fd, POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&item, 1, int(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            *problem =
                "no password on standard input within " + std::to_string(timeoutMs / 1000) + " s";
            return std::nullopt;
        }
        char c;
        const ssize_t got = ready > 0 ? read(fd, &c, 1) : -1;
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n') break;
        if (line.size() == limit) {
            *problem = "the password is too long";
            return std::nullopt;
        }
        line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> askPassword(int fd, const std::string& user, std::size_t limit,
                                       std::string* problem) {
    std::fprintf(stderr, "Enter the password for %s: ", user.c_str());
    std::fflush(stderr);
    termios saved;
    const bool terminal = tcgetattr(fd, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    auto password = readPasswordLine(fd, limit, 24 * 3600 * 1000, problem);
    if (terminal) tcsetattr(fd, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return password;
}

} // namespace rasdial

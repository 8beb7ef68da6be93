#include "passwordinput.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace rasdial {

bool readPasswordLine(int fd, Password* password, int timeoutMs, std::string* problem) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Password& line = *password;
    line.wipe();
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
            line.wipe();
            return false;
        }
        char c;
        const ssize_t got = ready > 0 ? read(fd, &c, 1) : -1;
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n') break;
        const bool fits = line.push_back(c);
        c = 0;
        if (!fits) {
            *problem = "the password is too long";
            line.wipe();
            return false;
        }
    }
    if (!line.empty() && line.view().back() == '\r') line.pop_back();
    return true;
}

bool askPassword(int fd, const std::string& user, Password* password, std::string* problem) {
    std::fprintf(stderr, "Enter the password for %s: ", user.c_str());
    std::fflush(stderr);
    termios saved;
    const bool terminal = tcgetattr(fd, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    const bool read = readPasswordLine(fd, password, 24 * 3600 * 1000, problem);
    if (terminal) tcsetattr(fd, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return read;
}

} // namespace rasdial

#include "hangupsignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace rasdial {

namespace {

constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t hangUpAsked = 0;
// The pipe the handler writes to: its read end is fd().
int wake[2] = {-1, -1};
struct sigaction before[3];

void onSignal(int) {
    const int saved = errno;
    hangUpAsked = 1;
    if (wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(wake[1], &byte, 1);
    }
    errno = saved;
}

} // namespace

HangUpSignals::HangUpSignals() {
    hangUpAsked = 0;
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) wake[0] = wake[1] = -1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking call returns with EINTR, so that its caller looks again.
    action.sa_flags = 0;
    for (int i = 0; i < 3; ++i)
        sigaction(Signals[i], &action, &before[i]);
}

HangUpSignals::~HangUpSignals() {
    for (int i = 0; i < 3; ++i)
        sigaction(Signals[i], &before[i], nullptr);
    for (int& end : wake) {
        if (end >= 0) close(end);
        end = -1;
    }
}

bool HangUpSignals::asked() {
    return hangUpAsked != 0;
}

int HangUpSignals::fd() {
    return wake[0];
}

} // namespace rasdial

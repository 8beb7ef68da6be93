#include "helperpath.h"

#include "linkfiles.h"
#include "rasdialerrors.h"
#include "sha256.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace rasdial {

namespace {

void note(const std::string& line) {
    std::fprintf(stderr, "rasdial: %s\n", line.c_str());
}

volatile sig_atomic_t givenUp = 0;

} // namespace

// Starts the privileged part with the request on its standard input and waits for it; it
// prints its own outcome. Its environment is ours to choose: nothing of the caller's. Our end
// of its input stays open while it works: closing it is how we tell it that we gave up.
int HelperPath::run(const LinkRequest& request) {
    std::vector<std::string> args;
    if (geteuid() != 0 || paths_.alwaysElevate) {
        if (access(paths_.pkexec.c_str(), X_OK) != 0) {
            note("dialling needs root, and " + paths_.pkexec +
                 " is missing: install the package pkexec (policykit-1), or run rasdial as root");
            return report(AccessDenied);
        }
        args.push_back(paths_.pkexec);
    }
    args.push_back(helperPath(paths_, self_));
    std::vector<char*> argv = execArray(args);
    std::vector<std::string> environment = privilegedEnvironment();
    std::vector<char*> envp = execArray(environment);

    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) return report(TunnelFailed);
    const pid_t child = fork();
    if (child == 0) {
        dup2(input[0], 0);
        std::signal(SIGXFSZ, SIG_DFL); // ignored only for our own sake
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(input[0]);
    if (child < 0) {
        close(input[1]);
        return report(TunnelFailed);
    }
    // From here a signal to end us ends the dial instead: the helper hangs up and answers.
    struct sigaction giveUp {};
    giveUp.sa_handler = [](int) { givenUp = 1; };
    for (const int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &giveUp, nullptr);
    // A helper that refuses early closes its end: that is not our failure. The request ends
    // with an empty line.
    const std::string text = serializeRequest(request) + '\n';
    std::signal(SIGPIPE, SIG_IGN);
    for (std::size_t sent = 0; sent < text.size() && !givenUp;) {
        const ssize_t n = write(input[1], text.data() + sent, text.size() - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        sent += std::size_t(n);
    }
    int status = 0;
    for (;;) {
        if (givenUp && input[1] >= 0) {
            close(input[1]);
            input[1] = -1;
        }
        if (waitpid(child, &status, 0) >= 0 || errno != EINTR) break;
    }
    if (input[1] >= 0) close(input[1]);
    if (!WIFEXITED(status)) return report(TunnelFailed);
    const int code = WEXITSTATUS(status);
    // pkexec's own answers: 126 the user dismissed the authentication, 127 not authorized.
    if (args[0] == paths_.pkexec && (code == 126 || code == 127)) {
        note("pkexec did not authorize the dial (polkit action net.miravon.rasdial)");
        return report(AccessDenied);
    }
    return code;
}

int HelperPath::dial(const LinkRequest& request) {
    return run(request);
}

std::optional<int> HelperPath::hangUp(const std::string& entry) {
    // Nothing to hang up needs no root: no password prompt when the connector hangs up a link
    // that is not there. Whether a running process really is the link's pppd is for the
    // privileged part to decide: only root may look at a root process's program.
    // Root may hang up any user's link of the entry: that is for its helper to find.
    const auto pid = readPidFile(pidFilePath(paths_, getuid(), entry));
    const bool own = pid && (kill(*pid, 0) == 0 || errno == EPERM);
    const bool anyone =
        getuid() == 0 && !linkFiles(paths_, "rasdial-", '-' + sha256Hex(entry)).empty();
    if (!own && !anyone) return std::nullopt;
    LinkRequest request;
    request.action = RequestAction::HangUp;
    request.entry = entry;
    if (!requestProblem(request).empty()) return std::nullopt;
    return run(request);
}

bool HelperPath::isConnected(const std::string& entry) const {
    return linkProcess(paths_, getuid(), entry).has_value();
}

} // namespace rasdial

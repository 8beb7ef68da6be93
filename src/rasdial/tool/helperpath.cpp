#include "helperpath.h"

#include "hangupsignals.h"
#include "linkfiles.h"
#include "rasdialerrors.h"
#include "reachability.h"
#include "sha256.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace rasdial {

// Starts the privileged part with the request on its standard input and waits for it; it
// prints its own outcome. Its environment is ours to choose: nothing of the caller's. Our end
// of its input stays open while it works: closing it is how we tell it that we gave up.
int HelperPath::run(LinkRequest& request) {
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

    // A hang-up asked for before the helper starts ends the dial before it (a dial's hang-up is
    // watched by the caller's HangUpSignals; a hang-up request of its own has none).
    if (request.action == RequestAction::Dial && HangUpSignals::asked())
        return report(UserDisconnection);
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
    // From here a hang-up (HangUpSignals) ends the dial instead: closing the helper's input
    // tells it to hang up; it answers. A helper that refuses early closes its end: that is not
    // our failure. The request ends with an empty line.
    std::string text = serializeRequest(request);
    text += '\n';
    // From here the password's one copy here is the text for the helper's pipe, wiped once
    // written.
    request.password.wipe();
    std::signal(SIGPIPE, SIG_IGN);
    for (std::size_t sent = 0; sent < text.size() && !HangUpSignals::asked();) {
        const ssize_t n = write(input[1], text.data() + sent, text.size() - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        sent += std::size_t(n);
    }
    wipeString(text);
    // The wait is for the helper's end or the hang-up, whichever comes first: the signal may
    // reach any of our threads, so its pipe is watched rather than an interrupted waitpid.
    const int pidfd = pidfdOpen(child);
    if (pidfd >= 0) {
        pollWithCancel(pidfd, POLLIN, HangUpSignals::fd(), INT_MAX);
        close(pidfd);
    }
    int status = 0;
    for (;;) {
        if (HangUpSignals::asked() && input[1] >= 0) {
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

int HelperPath::dial(LinkRequest& request) {
    return run(request);
}

std::optional<int> HelperPath::hangUp(const std::string& entry) {
    // Nothing to hang up needs no root: no password prompt when the connector hangs up a link
    // that is not there. Whether a running process really is the link's pppd is for the
    // privileged part to decide: only root may look at a root process's program.
    // Root may hang up any user's link of the entry: that is for its helper to find.
    // A pid file left by a pppd that was killed counts too: the helper removes it and what
    // the link left of IPv6's block.
    const bool own = readPidFile(pidFilePath(paths_, getuid(), entry)).has_value();
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

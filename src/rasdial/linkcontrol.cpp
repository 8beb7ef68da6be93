#include "linkcontrol.h"

#include "pppdoptions.h"
#include "rasdialerrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace rasdial {

namespace {

void note(const std::string& line) {
    std::fprintf(stderr, "rasdial: %s\n", line.c_str());
}

// The process handles of Linux 5.3: a signal through one reaches the process it was opened
// for, never a later one that got the same pid.
int pidfdOpen(pid_t pid) {
    return int(syscall(SYS_pidfd_open, pid, 0));
}

int pidfdSignal(int pidfd, int signal) {
    return int(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

// Reads at most `limit` bytes of a file; nothing when it cannot be opened.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[4096];
    while (text.size() < limit) {
        const ssize_t got = read(fd, buffer, std::min(sizeof buffer, limit - text.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        text.append(buffer, std::size_t(got));
    }
    close(fd);
    return text;
}

// Waits until the process behind pidfd has ended, at most ms milliseconds.
bool waitForEnd(int pidfd, int ms) {
    pollfd item{pidfd, POLLIN, 0};
    int ready;
    do
        ready = poll(&item, 1, ms);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// SIGTERM: pppd ends the link, removes its pid file and exits; SIGKILL, said as a note, only
// if it is still there after 5 s.
void stopProcess(int pidfd) {
    if (pidfdSignal(pidfd, SIGTERM) != 0) return;
    if (waitForEnd(pidfd, 5000)) return;
    note("pppd did not end within 5 s of SIGTERM: killed");
    pidfdSignal(pidfd, SIGKILL);
    waitForEnd(pidfd, 2000);
}

bool isExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The server's IPv4 address, for a host name or a dotted address.
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

// Whether the server accepts a TCP connection on the port within KnockSeconds: a server that
// does not answer at all would otherwise hold pptp for the kernel's two minutes of retries.
constexpr int KnockSeconds = 10;
bool serverAnswers(const std::string& address, int port) {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(std::uint16_t(port));
    if (inet_pton(AF_INET, address.c_str(), &server.sin_addr) != 1) return false;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0;
    if (!answered && errno == EINPROGRESS) {
        pollfd item{fd, POLLOUT, 0};
        int ready;
        do
            ready = poll(&item, 1, KnockSeconds * 1000);
        while (ready < 0 && errno == EINTR);
        int error = 0;
        socklen_t length = sizeof error;
        answered =
            ready > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    close(fd);
    return answered;
}

void sleepSeconds(unsigned seconds) {
    timespec left{time_t(seconds), 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// The bytes written to a file descriptor from its start, at most `limit`.
std::string readFromStart(int fd, std::size_t limit) {
    std::string text(limit, '\0');
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = pread(fd, text.data() + got, limit - got, off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += std::size_t(n);
    }
    text.resize(got);
    return text;
}

// One attempt: pppd dials the (resolved) server and returns once the link is up or has
// failed. Gives the outcome's code.
int runPppd(const ToolPaths& paths, const LinkRequest& request) {
    std::vector<std::string> args = pppdArguments(request, paths.pptp);
    args.insert(args.begin(), paths.pppd);
    std::vector<char*> argv = execArray(args);
    std::vector<std::string> environment = privilegedEnvironment();
    std::vector<char*> envp = execArray(environment);

    // The password goes into a pipe before pppd starts; pppd reads it from descriptor 3 when
    // it authenticates. 255 bytes always fit the pipe, so this never blocks.
    int password[2];
    if (pipe2(password, O_CLOEXEC) != 0) return TunnelFailed;
    const ssize_t written = write(password[1], request.password.data(), request.password.size());
    close(password[1]);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    // pppd's output, kept to read its reason when it fails. A file rather than a pipe: pptp
    // inherits it as its standard error and may still write there after we have gone.
    const int output = memfd_create("pppd-output", MFD_CLOEXEC);
    if (written != ssize_t(request.password.size()) || devNull < 0 || output < 0) {
        close(password[0]);
        if (devNull >= 0) close(devNull);
        if (output >= 0) close(output);
        return TunnelFailed;
    }

    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        if (password[0] == PasswordFd)
            fcntl(PasswordFd, F_SETFD, 0);
        else
            dup2(password[0], PasswordFd);
        dup2(devNull, 0);
        dup2(output, 1);
        dup2(output, 2);
        close_range(PasswordFd + 1, ~0U, 0);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(password[0]);
    close(devNull);
    if (child < 0) {
        close(output);
        return TunnelFailed;
    }

    const int pidfd = pidfdOpen(child);
    if (pidfd >= 0 && !waitForEnd(pidfd, AttemptLimitSeconds * 1000)) {
        note("the dial took too long: hanging up");
        stopProcess(pidfd);
        if (!waitForEnd(pidfd, 0)) kill(child, SIGKILL);
    }
    if (pidfd >= 0) close(pidfd);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const std::string said = readFromStart(output, 65536);
    close(output);
    // pppd's own lines go with our notes, not with the Windows messages.
    if (!said.empty()) std::fwrite(said.data(), 1, said.size(), stderr);
    if (!WIFEXITED(status)) return TunnelFailed;
    const int code = codeForPppdExit(WEXITSTATUS(status), said);
    if (code != Success) note("pppd: " + pppdExitReason(WEXITSTATUS(status)));
    return code;
}
} // namespace

std::string pidFilePath(const ToolPaths& paths, std::string_view entry) {
    return paths.pidDir + "/ppp-" + safeLinkName(entry) + ".pid";
}

std::optional<pid_t> readPidFile(const std::string& path) {
    const auto text = readSmallFile(path, 64);
    if (!text) return std::nullopt;
    const std::string first = text->substr(0, text->find('\n'));
    const auto pid = parseDecimal(first);
    if (!pid || *pid < 2 || *pid > 4194304) return std::nullopt; // the kernel's largest pid
    return pid_t(*pid);
}

bool isLinkProcess(pid_t pid, const ToolPaths& paths, std::string_view linkName) {
    const std::string proc = "/proc/" + std::to_string(pid);
    // Root reads where the program really came from; others fall back on the arguments.
    char exe[PATH_MAX + 16];
    const ssize_t length = readlink((proc + "/exe").c_str(), exe, sizeof exe - 1);
    if (length >= 0) {
        std::string running(exe, std::size_t(length));
        const std::string deleted = " (deleted)"; // pppd upgraded while the link runs
        if (running.size() > deleted.size() &&
            running.compare(running.size() - deleted.size(), deleted.size(), deleted) == 0)
            running.resize(running.size() - deleted.size());
        char expected[PATH_MAX];
        if (!realpath(paths.pppd.c_str(), expected) || running != expected) return false;
    } else if (errno != EACCES) {
        return false;
    }
    const auto cmdline = readSmallFile(proc + "/cmdline", 65536);
    if (!cmdline) return false;
    std::vector<std::string_view> args;
    for (std::size_t start = 0; start < cmdline->size();) {
        const std::size_t end = cmdline->find('\0', start);
        args.push_back(std::string_view(*cmdline).substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (args.empty() || args[0] != paths.pppd) return false;
    for (std::size_t i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "linkname" && args[i + 1] == linkName) return true;
    return false;
}

std::optional<pid_t> linkProcess(const ToolPaths& paths, std::string_view entry) {
    const auto pid = readPidFile(pidFilePath(paths, entry));
    if (pid && isLinkProcess(*pid, paths, safeLinkName(entry))) return pid;
    return std::nullopt;
}

bool isDangerousVariable(std::string_view assignment, bool testHooks) {
    const std::string_view name = assignment.substr(0, assignment.find('='));
    const auto starts = [&](std::string_view prefix) {
        return name.substr(0, prefix.size()) == prefix;
    };
    if (testHooks && starts("RASDIAL_TEST_")) return false;
    for (const std::string_view prefix : {"LD_", "QT_", "RASDIAL_", "MALLOC_"})
        if (starts(prefix)) return true;
    for (const std::string_view exact : {"GCONV_PATH", "GLIBC_TUNABLES", "LOCPATH", "NLSPATH",
                                         "HOSTALIASES", "LOCALDOMAIN", "RES_OPTIONS", "IFS"})
        if (name == exact) return true;
    return false;
}

int hangUpLink(const ToolPaths& paths, const std::string& entry) {
    const std::string pidFile = pidFilePath(paths, entry);
    const auto pid = readPidFile(pidFile);
    if (!pid) return report(NotConnected);
    // Hold the process by a pidfd before checking it, so that the check and the signal are
    // about the same process even if the pid is reused meanwhile.
    const int pidfd = pidfdOpen(*pid);
    if (pidfd < 0) return report(NotConnected);
    if (!isLinkProcess(*pid, paths, safeLinkName(entry))) {
        note(pidFile + " names process " + std::to_string(*pid) +
             ", which is not the pppd of this link: left alone");
        close(pidfd);
        return report(NotConnected);
    }
    stopProcess(pidfd);
    close(pidfd);
    // A pppd that had to be killed could not remove its pid file.
    if (readPidFile(pidFile) == pid) unlink(pidFile.c_str());
    return report(Success);
}

int dialLink(const ToolPaths& paths, const LinkRequest& request) {
    const std::string link = safeLinkName(request.entry);
    // One dial of a link at a time; a hang-up never waits for it, it stops the dialling pppd.
    const std::string lockPath = paths.pidDir + "/" + link + ".lock";
    const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0) {
        note("cannot open " + lockPath + ": " + std::strerror(errno));
        return report(TunnelFailed);
    }
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) return report(AlreadyDialing);
    if (linkProcess(paths, request.entry)) {
        say("You are already connected to " + request.entry + ".");
        return report(Success);
    }
    for (const std::string* program : {&paths.pppd, &paths.pptp})
        if (!isExecutableFile(*program)) {
            note(*program + " is missing: install the packages ppp and pptp-linux");
            return report(TunnelFailed);
        }
    // pptp is given the address, so that the name is looked up once, here, and a name that
    // does not resolve is told as such.
    LinkRequest resolved = request;
    if (!resolveServer(request.server, &resolved.server)) {
        note("the server name " + request.server + " cannot be looked up");
        return report(NameNotResolved);
    }

    say("Connecting to " + request.entry + "...");
    const int attempts = dialAttempts(request);
    int code = TunnelFailed;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (attempt > 1) {
            note("dialling again in " + std::to_string(request.redialPause) + " s (attempt " +
                 std::to_string(attempt) + " of " + std::to_string(attempts) + ")");
            sleepSeconds(request.redialPause);
        }
        if (paths.knock && !serverAnswers(resolved.server, paths.pptpPort)) {
            note("the server " + request.server + " does not answer on TCP port " +
                 std::to_string(paths.pptpPort));
            code = TunnelFailed;
            continue;
        }
        code = runPppd(paths, resolved);
        // A refused password or a hang-up while dialling is final; so is success.
        if (code != TunnelFailed) break;
    }
    if (code != Success) return report(code);
    say("Successfully connected to " + request.entry + ".");
    return report(Success);
}

int runLinkHelper(const ToolPaths& paths, char** environment) {
    if (paths.requireRoot && (getuid() != 0 || geteuid() != 0)) {
        note("the link helper runs only as root, started through pkexec");
        return report(AccessDenied);
    }
    for (char** variable = environment; variable && *variable; ++variable)
        if (isDangerousVariable(*variable, paths.testHooks)) {
            note("refusing to run with " + std::string(*variable).substr(0, 64) + " set");
            return report(AccessDenied);
        }
    std::string input;
    char buffer[1024];
    while (input.size() <= MaxRequestBytes) {
        const ssize_t got = read(0, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        input.append(buffer, std::size_t(got));
    }
    std::string why;
    const auto request = parseRequest(input.data(), input.size(), &why);
    if (!request) {
        note("request refused: " + why);
        return report(CorruptPhonebook);
    }
    return request->action == RequestAction::Dial ? dialLink(paths, *request)
                                                  : hangUpLink(paths, request->entry);
}

} // namespace rasdial

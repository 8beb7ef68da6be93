#include "linkcontrol.h"

#include "pppdoptions.h"
#include "rasdialerrors.h"
#include "sha256.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
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
#include <thread>
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

// Waits until the descriptor has one of the events, at most ms milliseconds.
bool pollFor(int fd, short events, int ms) {
    pollfd item{fd, events, 0};
    int ready;
    do
        ready = poll(&item, 1, ms);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// Waits until the process behind pidfd has ended, at most ms milliseconds.
bool waitForEnd(int pidfd, int ms) {
    return pollFor(pidfd, POLLIN, ms);
}

// SIGTERM: pppd ends the link, removes its pid file and exits; SIGKILL, said as a note, only
// if it is still there after the helper's patience.
void stopProcess(const ToolPaths& paths, int pidfd) {
    if (pidfdSignal(pidfd, SIGTERM) != 0) return;
    if (waitForEnd(pidfd, paths.patienceSeconds * 1000)) return;
    note("pppd did not end within " + std::to_string(paths.patienceSeconds) +
         " s of SIGTERM: killed");
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
        int error = 0;
        socklen_t length = sizeof error;
        answered = pollFor(fd, POLLOUT, KnockSeconds * 1000) &&
                   getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    close(fd);
    return answered;
}

void sleepSeconds(unsigned seconds) {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
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

// The helper's own folder for lock and secrets files: root's, nobody else may write there.
std::optional<std::string> stateDir(const ToolPaths& paths) {
    const std::string dir = paths.pidDir + "/miravon-vpn";
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    struct stat info;
    if (lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid() ||
        (info.st_mode & 077)) {
        note(dir + " is not a private folder of this user: refusing");
        return std::nullopt;
    }
    return dir;
}

// An exclusive lock on a file that exists only while it is held: whoever lets go removes it,
// and whoever took the lock on a file that was removed meanwhile takes it again on the new one.
class LockFile {
public:
    enum class Outcome { Held, Busy, Failed };
    Outcome take(const std::string& path) {
        for (int tries = 0; tries < 8; ++tries) {
            const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) {
                note("cannot open " + path + ": " + std::strerror(errno));
                return Outcome::Failed;
            }
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
                close(fd);
                return Outcome::Busy;
            }
            struct stat held, named;
            if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
                held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                fd_ = fd;
                path_ = path;
                return Outcome::Held;
            }
            close(fd); // removed by the one before us: take the new file
        }
        return Outcome::Busy;
    }
    LockFile() = default;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile() {
        if (fd_ < 0) return;
        unlink(path_.c_str());
        close(fd_);
    }

private:
    int fd_ = -1;
    std::string path_;
};

// Writes a new file of mode 0600 with the text; false when it cannot.
bool writePrivateFile(const std::string& path, const std::string& text) {
    unlink(path.c_str()); // one left by a helper that was killed
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
    return close(fd) == 0 && written;
}

// One attempt: pppd dials the (resolved) server and returns once the link is up or has
// failed. Gives the outcome's code.
int runPppd(const ToolPaths& paths, const LinkRequest& request, const std::string& dir) {
    // The account and the password reach pppd in a file only root can read, which is gone
    // as soon as pppd has returned: never in an argument, never on a descriptor that pptp
    // or pppd's scripts would inherit.
    const std::string secrets = dir + "/" + linkName(request.owner, request.entry) + ".secrets";
    if (!writePrivateFile(secrets, pppdSecrets(request, paths.pptp))) {
        note("cannot write " + secrets);
        return TunnelFailed;
    }
    std::vector<std::string> args = pppdArguments(request, secrets);
    args.insert(args.begin(), paths.pppd);
    std::vector<char*> argv = execArray(args);
    std::vector<std::string> environment = privilegedEnvironment();
    std::vector<char*> envp = execArray(environment);

    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    // pppd's output, kept to read its reason when it fails. A file rather than a pipe: pptp
    // inherits it as its standard error and may still write there after we have gone.
    const int output = memfd_create("pppd-output", MFD_CLOEXEC);
    const pid_t child = devNull >= 0 && output >= 0 ? fork() : -1;
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        dup2(devNull, 0);
        dup2(output, 1);
        dup2(output, 2);
        close_range(3, ~0U, 0);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (devNull >= 0) close(devNull);
    int code = TunnelFailed;
    if (child > 0) {
        const int pidfd = pidfdOpen(child);
        if (pidfd >= 0 && !waitForEnd(pidfd, AttemptLimitSeconds * 1000)) {
            note("the dial took too long: hanging up");
            stopProcess(paths, pidfd);
            if (!waitForEnd(pidfd, 0)) kill(child, SIGKILL);
        }
        if (pidfd >= 0) close(pidfd);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        const std::string said = readFromStart(output, 65536);
        // pppd's own lines go with our notes, not with the Windows messages.
        if (!said.empty()) std::fwrite(said.data(), 1, said.size(), stderr);
        if (WIFEXITED(status)) {
            code = codeForPppdExit(WEXITSTATUS(status), said);
            if (code != Success) note("pppd: " + pppdExitReason(WEXITSTATUS(status)));
        }
    }
    if (output >= 0) close(output);
    unlink(secrets.c_str());
    return code;
}

// A pid file of one of our links, "ppp-rasdial-UID-HASH.pid", and what its name tells.
struct LinkFile {
    std::string pidFile;
    std::string link; // "rasdial-UID-HASH"
    std::uint32_t owner = 0;
};

// The pid files in the pid folder of our links whose names begin with `head` and end with
// `tail`.
std::vector<LinkFile> linkFiles(const ToolPaths& paths, const std::string& head,
                                const std::string& tail) {
    std::vector<LinkFile> found;
    DIR* dir = opendir(paths.pidDir.c_str());
    if (!dir) return found;
    const auto has = [](const std::string& text, std::size_t at, const std::string& part) {
        return text.size() >= at + part.size() && text.compare(at, part.size(), part) == 0;
    };
    while (const dirent* item = readdir(dir)) {
        const std::string name = item->d_name;
        if (name.size() < 8 || !has(name, 0, "ppp-") || !has(name, name.size() - 4, ".pid"))
            continue;
        const std::string link = name.substr(4, name.size() - 8);
        if (!has(link, 0, "rasdial-") || !has(link, 0, head) || link.size() < tail.size() ||
            !has(link, link.size() - tail.size(), tail))
            continue;
        const auto owner = parseDecimal(link.substr(8, link.find('-', 8) - 8));
        if (owner) found.push_back({paths.pidDir + '/' + name, link, *owner});
    }
    closedir(dir);
    return found;
}

// The links of the owner's that run now.
int countLinks(const ToolPaths& paths, std::uint32_t owner) {
    int count = 0;
    for (const LinkFile& file : linkFiles(paths, "rasdial-" + std::to_string(owner) + '-', "")) {
        const auto pid = readPidFile(file.pidFile);
        if (pid && isLinkProcess(*pid, paths, file.link)) ++count;
    }
    return count;
}

// Stops the pppd a pid file names, if it is that link's; true when it did.
bool stopLink(const ToolPaths& paths, const std::string& pidFile, const std::string& link) {
    const auto pid = readPidFile(pidFile);
    if (!pid) return false;
    // Hold the process by a pidfd before checking it, so that the check and the signal are
    // about the same process even if the pid is reused meanwhile.
    const int pidfd = pidfdOpen(*pid);
    if (pidfd < 0) return false;
    const bool ours = isLinkProcess(*pid, paths, link);
    if (ours)
        stopProcess(paths, pidfd);
    else
        note(pidFile + " names process " + std::to_string(*pid) +
             ", which is not the pppd of this link: left alone");
    close(pidfd);
    return ours;
}

} // namespace

std::string pidFilePath(const ToolPaths& paths, std::uint32_t owner, std::string_view entry) {
    return paths.pidDir + "/ppp-" + linkName(owner, entry) + ".pid";
}

std::optional<pid_t> readPidFile(const std::string& path) {
    const auto text = readSmallFile(path, 64);
    if (!text) return std::nullopt;
    const std::string first = text->substr(0, text->find('\n'));
    const auto pid = parseDecimal(first);
    if (!pid || *pid < 2 || *pid > 4194304) return std::nullopt; // the kernel's largest pid
    return pid_t(*pid);
}

bool isLinkProcess(pid_t pid, const ToolPaths& paths, std::string_view link) {
    const std::string proc = "/proc/" + std::to_string(pid);
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
    } else {
        // Not ours to read: then it must at least be root's process, whose arguments no
        // ordinary user chose.
        if (errno != EACCES) return false;
        const auto status = readSmallFile(proc + "/status", 8192);
        const std::size_t uid = status ? status->find("\nUid:") : std::string::npos;
        if (uid == std::string::npos) return false;
        const std::string line = status->substr(uid + 5, status->find('\n', uid + 1) - uid - 5);
        if (line.find_first_not_of("0\t ") != std::string::npos) return false;
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
        if (args[i] == "linkname" && args[i + 1] == link) return true;
    return false;
}

std::optional<pid_t> linkProcess(const ToolPaths& paths, std::uint32_t owner,
                                 std::string_view entry) {
    const auto pid = readPidFile(pidFilePath(paths, owner, entry));
    if (pid && isLinkProcess(*pid, paths, linkName(owner, entry))) return pid;
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

std::optional<std::uint32_t> callerOf(const ToolPaths& paths, char** environment) {
    for (char** variable = environment; variable && *variable; ++variable) {
        const std::string_view text = *variable;
        if (text.substr(0, 11) == "PKEXEC_UID=") return parseDecimal(text.substr(11));
    }
    // Started without pkexec: only root may ask, for itself.
    if (getuid() == 0 || !paths.requireRoot) return std::uint32_t(getuid());
    return std::nullopt;
}

int hangUpLink(const ToolPaths& paths, std::uint32_t owner, const std::string& entry) {
    // Root hangs up the entry's link of whoever it belongs to.
    const std::vector<LinkFile> links =
        owner != 0 ? std::vector<LinkFile>{{pidFilePath(paths, owner, entry),
                                            linkName(owner, entry), owner}}
                   : linkFiles(paths, "rasdial-", '-' + sha256Hex(entry));
    const auto dir = stateDir(paths);
    bool stopped = false;
    for (const LinkFile& file : links)
        if (stopLink(paths, file.pidFile, file.link)) {
            stopped = true;
            // A pppd that had to be killed could not remove its pid file. The owner's dial
            // lock keeps this from racing a new dial; while one runs, it cleans up itself.
            LockFile lock;
            if (dir &&
                lock.take(*dir + '/' + std::to_string(file.owner) + ".dial.lock") ==
                    LockFile::Outcome::Held &&
                !linkProcess(paths, file.owner, entry))
                unlink(file.pidFile.c_str());
        }
    return report(stopped ? Success : NotConnected);
}

int dialLink(const ToolPaths& paths, const LinkRequest& request) {
    const auto dir = stateDir(paths);
    if (!dir) return report(TunnelFailed);
    // One dial of a user's at a time; a hang-up never waits for it, it stops the dialling pppd.
    LockFile lock;
    switch (lock.take(*dir + '/' + std::to_string(request.owner) + ".dial.lock")) {
    case LockFile::Outcome::Held:
        break;
    case LockFile::Outcome::Busy:
        return report(AlreadyDialing);
    case LockFile::Outcome::Failed:
        return report(TunnelFailed);
    }
    const std::string pidFile = pidFilePath(paths, request.owner, request.entry);
    if (linkProcess(paths, request.owner, request.entry)) {
        say("You are already connected to " + request.entry + ".");
        return report(Success);
    }
    unlink(pidFile.c_str()); // a stale one, of a pppd that was killed
    if (countLinks(paths, request.owner) >= MaxLinksPerUser) {
        note("at most " + std::to_string(MaxLinksPerUser) + " links of one user at a time");
        return report(AccessDenied);
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
        code = runPppd(paths, resolved, *dir);
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
    const auto caller = callerOf(paths, environment);
    if (!caller) {
        note("whose request this is cannot be told: PKEXEC_UID is missing or wrong");
        return report(AccessDenied);
    }
    const auto dir = stateDir(paths);
    if (!dir) return report(TunnelFailed);
    // A few requests of one user at a time: each holds one of the user's slots until the
    // process ends, also while it hands its output over.
    static LockFile slot;
    bool held = false;
    for (int n = 0; n < MaxHelpersPerUser && !held; ++n) {
        const std::string path =
            *dir + '/' + std::to_string(*caller) + ".helper-" + std::to_string(n) + ".lock";
        held = slot.take(path) == LockFile::Outcome::Held;
    }
    if (!held) {
        note("at most " + std::to_string(MaxHelpersPerUser) + " requests of one user at a time");
        return report(AlreadyDialing);
    }

    // The request, within our patience: a caller that never sends it does not keep a root
    // process waiting.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(paths.patienceSeconds);
    std::string input;
    char buffer[1024];
    while (input.size() <= MaxRequestBytes) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd item{0, POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&item, 1, int(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            note("no request within " + std::to_string(paths.patienceSeconds) + " s");
            return report(CorruptPhonebook);
        }
        const ssize_t got = read(0, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        input.append(buffer, std::size_t(got));
    }
    std::string why;
    auto request = parseRequest(input.data(), input.size(), &why);
    if (!request) {
        note("request refused: " + why);
        return report(CorruptPhonebook);
    }
    request->owner = *caller;
    return request->action == RequestAction::Dial ? dialLink(paths, *request)
                                                  : hangUpLink(paths, *caller, request->entry);
}

} // namespace rasdial

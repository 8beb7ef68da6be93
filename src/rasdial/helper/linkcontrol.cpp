#include "linkcontrol.h"

#include "ipv6block.h"
#include "linkfiles.h"
#include "pppdoptions.h"
#include "rasdialerrors.h"
#include "reachability.h"
#include "sha256.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace rasdial {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
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

// Writes a new file of mode 0600 with the text; false when it cannot.
bool writePrivateFile(const std::string& path, const std::string& text) {
    unlink(path.c_str()); // one left by a helper that was killed
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
    return close(fd) == 0 && written;
}

// The dial: pppd dials the (resolved) server and returns once the link is up or has failed.
// A caller who gives up (`cancel` readable or hung up) ends it. Gives the outcome's code.
int runPppd(const ToolPaths& paths, LinkRequest& request, const std::string& dir, int cancel) {
    // The account and the password reach pppd in a file only root can read, which is gone
    // as soon as pppd has returned: never in an argument, never on a descriptor that pptp
    // or pppd's scripts would inherit.
    const std::string secrets = dir + "/" + linkName(request.owner, request.entry) + ".secrets";
    std::string text = pppdSecrets(request, paths.pptp);
    const bool written = writePrivateFile(secrets, text);
    // pppd has the password from here (or never will): this process needs it no more.
    wipeString(text);
    request.password.wipe();
    if (!written) {
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
    bool cancelled = false;
    if (child > 0) {
        const int pidfd = pidfdOpen(child);
        const int ended = pidfd >= 0 ? pollWithCancel(pidfd, POLLIN, cancel, AttemptLimitSeconds * 1000) : 1;
        if (ended == 0) note("the dial took too long: hanging up");
        if (ended < 0) note("the caller gave up: hanging up");
        if (ended <= 0) {
            cancelled = ended < 0;
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
        if (cancelled) code = UserDisconnection;
    }
    if (output >= 0) close(output);
    unlink(secrets.c_str());
    return code;
}

} // namespace

void sweepIpv6Block(const ToolPaths& paths) {
    // Nothing to do, mostly: a look at the routes costs less than starting ip.
    const auto routes = readSmallFile(paths.ipv6Routes, 1 << 20);
    if (routes && !hasIpv6Block(*routes)) return;
    for (const LinkFile& file : linkFiles(paths, "rasdial-", "")) {
        const auto pid = readPidFile(file.pidFile);
        if (pid && isLinkProcess(*pid, paths, file.link)) return;
    }
    for (const Ipv6Prefix& prefix : blockedIpv6()) {
        std::vector<std::string> args{
            paths.ip,      "-6",
            "route",       "del",
            "unreachable", prefix.address + '/' + std::to_string(prefix.length),
            "proto",       std::to_string(RASDIAL_ROUTE_PROTOCOL)};
        std::vector<char*> argv = execArray(args);
        std::vector<std::string> environment = privilegedEnvironment();
        std::vector<char*> envp = execArray(environment);
        const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
        const pid_t child = devNull >= 0 ? fork() : -1;
        if (child == 0) {
            // Nothing to say when there is no such route: the usual case.
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        if (devNull >= 0) close(devNull);
        int status;
        if (child > 0)
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
    }
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
    for (const LinkFile& file : links) {
        stopped = stopLink(paths, file.pidFile, file.link) || stopped;
        // A pppd that had to be killed (by us, or by anyone: its link is gone all the same)
        // could not remove its pid file. The owner's dial lock keeps this from racing a new
        // dial; while one runs, it cleans up itself.
        LockFile lock;
        if (dir &&
            lock.take(*dir + '/' + std::to_string(file.owner) + ".dial.lock") ==
                LockFile::Outcome::Held &&
            !linkProcess(paths, file.owner, entry))
            unlink(file.pidFile.c_str());
    }
    sweepIpv6Block(paths);
    return report(stopped ? Success : NotConnected);
}

int dialLink(const ToolPaths& paths, LinkRequest& request, int cancel) {
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
    sweepIpv6Block(paths);
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
    std::string address;
    switch (resolveServer(request.server, &address, cancel)) {
    case Lookup::Found:
        break;
    case Lookup::Cancelled:
        return report(UserDisconnection);
    case Lookup::NotFound:
        note("the server name " + request.server + " cannot be looked up");
        return report(NameNotResolved);
    }
    const std::string name = request.server;
    request.server = address;

    // One attempt, as Windows' tool makes: the entry's redial count and pause are for a
    // dialer that watches its link, and whoever started us gives up on its own time.
    say("Connecting to " + request.entry + "...");
    if (paths.knock) {
        switch (knockAt(request.server, paths.pptpPort, cancel)) {
        case Knock::Answered:
            break;
        case Knock::Cancelled:
            return report(UserDisconnection);
        case Knock::Silent:
            note("the server " + name + " does not answer on TCP port " +
                 std::to_string(paths.pptpPort));
            return report(TunnelFailed);
        }
    }
    const int code = runPppd(paths, request, *dir, cancel);
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
    // process waiting. It ends at an empty line, after which the caller keeps its end open for
    // as long as it waits for us: closing it then (or dying) means it gave up, and the dial
    // ends. A request that ends with the input instead is carried out without that watch.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(paths.patienceSeconds);
    // In one allocation (it holds the password), wiped once read; so is the buffer.
    std::string input;
    input.reserve(MaxRequestBytes + 1024 + 1);
    char buffer[1024];
    struct Wipe {
        std::string& input;
        char* buffer;
        ~Wipe() {
            wipeString(input);
            explicit_bzero(buffer, 1024);
        }
    } wipe{input, buffer};
    std::size_t end = std::string::npos;
    while (input.size() <= MaxRequestBytes && end == std::string::npos) {
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
        end = input.find("\n\n");
    }
    const int cancel = end != std::string::npos ? 0 : -1;
    if (end != std::string::npos) input.resize(end + 1);
    std::string why;
    auto request = parseRequest(input.data(), input.size(), &why);
    if (!request) {
        note("request refused: " + why);
        return report(CorruptPhonebook);
    }
    request->owner = *caller;
    return request->action == RequestAction::Dial ? dialLink(paths, *request, cancel)
                                                  : hangUpLink(paths, *caller, request->entry);
}

} // namespace rasdial

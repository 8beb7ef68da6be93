#include "linkfiles.h"

#include "linkrequest.h"
#include "pppdoptions.h"
#include "rasdialerrors.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace rasdial {

int pidfdOpen(pid_t pid) {
    return int(syscall(SYS_pidfd_open, pid, 0));
}

int pidfdSignal(int pidfd, int signal) {
    return int(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

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

bool waitForEnd(int pidfd, int ms) {
    pollfd item{pidfd, POLLIN, 0};
    int ready;
    do
        ready = poll(&item, 1, ms);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

void stopProcess(const ToolPaths& paths, int pidfd) {
    if (pidfdSignal(pidfd, SIGTERM) != 0) return;
    if (waitForEnd(pidfd, paths.patienceSeconds * 1000)) return;
    note("pppd did not end within " + std::to_string(paths.patienceSeconds) +
         " s of SIGTERM: killed");
    pidfdSignal(pidfd, SIGKILL);
    waitForEnd(pidfd, 2000);
}

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

LockFile::Outcome LockFile::take(const std::string& path) {
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

bool LockFile::write(const std::string& text) {
    return fd_ >= 0 && ftruncate(fd_, 0) == 0 &&
           pwrite(fd_, text.data(), text.size(), 0) == ssize_t(text.size());
}

LockFile::~LockFile() {
    if (fd_ < 0) return;
    unlink(path_.c_str());
    close(fd_);
}

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

int countLinks(const ToolPaths& paths, std::uint32_t owner) {
    int count = 0;
    for (const LinkFile& file : linkFiles(paths, "rasdial-" + std::to_string(owner) + '-', "")) {
        const auto pid = readPidFile(file.pidFile);
        if (pid && isLinkProcess(*pid, paths, file.link)) ++count;
    }
    return count;
}

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

} // namespace rasdial

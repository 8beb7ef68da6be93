#include "dialguard.h"

#include "linkrequest.h"
#include "sha256.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rasdial {

namespace {

// $XDG_RUNTIME_DIR, when it is this user's private folder, as the session makes it.
std::string lockPath(const std::string& entry) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info;
    if (!runtime || runtime[0] != '/' || lstat(runtime, &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != getuid() || (info.st_mode & 077))
        return {};
    return std::string(runtime) + "/rasdial-" + sha256Hex(entry) + ".dial";
}

// Whether the lock is held by whoever has the file open; the fd is ours to close.
bool isHeld(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        flock(fd, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

} // namespace

DialGuard::Outcome DialGuard::take(const std::string& entry) {
    const std::string path = lockPath(entry);
    if (path.empty()) return Outcome::Unavailable;
    switch (lock_.take(path)) {
    case LockFile::Outcome::Held:
        return lock_.write(std::to_string(getpid()) + '\n') ? Outcome::Held : Outcome::Unavailable;
    case LockFile::Outcome::Busy:
        return Outcome::Busy;
    case LockFile::Outcome::Failed:
        break;
    }
    return Outcome::Unavailable;
}

bool endDialInProgress(const std::string& entry, int ms) {
    const std::string path = lockPath(entry);
    if (path.empty()) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool dialling = isHeld(fd);
    close(fd);
    if (!dialling) return false;
    // The pid is the dialler's own (it wrote it under the lock); signals reach only our own
    // processes anyway, and the pidfd keeps a reused pid from being signalled.
    const auto pid = readPidFile(path);
    const int pidfd = pid ? pidfdOpen(*pid) : -1;
    if (pidfd < 0) return false;
    const bool signalled = pidfdSignal(pidfd, SIGTERM) == 0;
    if (signalled) waitForEnd(pidfd, ms);
    close(pidfd);
    return signalled;
}

} // namespace rasdial

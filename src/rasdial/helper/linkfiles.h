#pragma once

#include "toolpaths.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// The links as the system keeps them: pppd's pid files, the processes behind them, and the
// helper's own lock files. Plain POSIX, no Qt: the privileged helper runs this as root, and
// the user's side reads the pid files to know whether there is a link to hang up.
namespace rasdial {

// "DIR/ppp-LINK.pid", as pppd names it.
std::string pidFilePath(const ToolPaths& paths, std::uint32_t owner, std::string_view entry);

// The pid on the first line of a pid file; nothing when the file is missing or holds anything
// else.
std::optional<pid_t> readPidFile(const std::string& path);

// Whether the process is the pppd of that link: its arguments hold "linkname LINK", and its
// program is our pppd, checked through /proc/PID/exe. Where that cannot be read (an ordinary
// user looking at root's pppd) the process must at least belong to root: a process of the
// user's own that took over a stale pid never counts.
bool isLinkProcess(pid_t pid, const ToolPaths& paths, std::string_view link);

// The pid of the pppd running the user's link of that entry, if one is.
std::optional<pid_t> linkProcess(const ToolPaths& paths, std::uint32_t owner,
                                 std::string_view entry);

// A pid file of one of our links, "ppp-rasdial-UID-HASH.pid", and what its name tells.
struct LinkFile {
    std::string pidFile;
    std::string link; // "rasdial-UID-HASH"
    std::uint32_t owner = 0;
};

// The pid files in the pid folder of our links whose names begin with `head` and end with
// `tail`.
std::vector<LinkFile> linkFiles(const ToolPaths& paths, const std::string& head,
                                const std::string& tail);

// The links of the owner's that run now.
int countLinks(const ToolPaths& paths, std::uint32_t owner);

// The process handles of Linux 5.3: a signal through one reaches the process it was opened
// for, never a later one that got the same pid.
int pidfdOpen(pid_t pid);
int pidfdSignal(int pidfd, int signal);

// Waits until the process behind pidfd has ended, at most ms milliseconds.
bool waitForEnd(int pidfd, int ms);

// SIGTERM: pppd ends the link, removes its pid file and exits; SIGKILL, said as a note, only
// if it is still there after the helper's patience.
void stopProcess(const ToolPaths& paths, int pidfd);

// Stops the pppd a pid file names, if it is that link's; true when it did.
bool stopLink(const ToolPaths& paths, const std::string& pidFile, const std::string& link);

// Reads at most `limit` bytes of a file; nothing when it cannot be opened.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit);

// The helper's own folder for lock and secrets files: root's, nobody else may write there.
std::optional<std::string> stateDir(const ToolPaths& paths);

// An exclusive lock on a file that exists only while it is held: whoever lets go removes it,
// and whoever took the lock on a file that was removed meanwhile takes it again on the new one.
class LockFile {
public:
    enum class Outcome { Held, Busy, Failed };
    Outcome take(const std::string& path);
    // Replaces what the held file says (a pid, for whoever finds it locked).
    bool write(const std::string& text);
    LockFile() = default;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile();

private:
    int fd_ = -1;
    std::string path_;
};

} // namespace rasdial

// A stand-in for pppd in the dial tool's tests. Its world is the folder it was copied to:
//   ARGS          written: its arguments, one per line
//   OPTIONS       written: the options file it was given ("file PATH"), as it read it
//   DESCRIPTORS   written: the descriptors it was started with, one per line
//   run/ppp-LINK.pid   written: its pid, as pppd writes it (removed when it ends)
//   RUNS          appended: one line each time it is started
//   STATE         written: "core=N fsize=N sid=N cwd=PATH", its soft limits (-1: none), session
//                 and folder
//   behaviour     read, optional: "up" (default), "fail N" (exit N without a link), "refused N"
//                 (say that our authentication failed, as pppd does, and exit N),
//                 "hold" (up, but first say "ready" on the FIFO "ready" and wait until a byte
//                 arrives on the FIFO "go"), "stubborn" (up, and ignores SIGTERM), "dialling"
//                 (never comes up: writes its pid to DIALLING instead of its pid file, and
//                 waits for SIGTERM, so that only the helper's caller giving up can end it)
// Like pppd with "updetach", it returns once the "link" is up and leaves a daemon behind,
// which waits without using the processor until it is signalled.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::string world() {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) std::exit(1);
    std::string path(self, std::size_t(length));
    return path.substr(0, path.rfind('/'));
}

void writePid(const std::string& file, pid_t pid) {
    std::ofstream(file) << pid << "\nppp0\n";
}

} // namespace

int main(int argc, char* argv[]) {
    std::string descriptors; // listed before this program opens any file of its own
    for (int fd = 0; fd < 64; ++fd)
        if (fcntl(fd, F_GETFD) >= 0) descriptors += std::to_string(fd) + '\n';
    const std::string dir = world();
    std::string link, behaviour = "up";
    std::string optionsFile;
    {
        std::ofstream args(dir + "/ARGS");
        for (int i = 0; i < argc; ++i) {
            args << argv[i] << '\n';
            if (i + 1 < argc && std::strcmp(argv[i], "linkname") == 0) link = argv[i + 1];
            if (i + 1 < argc && std::strcmp(argv[i], "file") == 0) optionsFile = argv[i + 1];
        }
    }
    std::ofstream(dir + "/RUNS", std::ios::app) << "run\n";
    std::ofstream(dir + "/DESCRIPTORS") << descriptors;
    {
        rlimit core, fsize;
        getrlimit(RLIMIT_CORE, &core);
        getrlimit(RLIMIT_FSIZE, &fsize);
        const auto soft = [](const rlimit& limit) {
            return limit.rlim_cur == RLIM_INFINITY ? -1L : long(limit.rlim_cur);
        };
        char cwd[4096] = "";
        std::ofstream(dir + "/STATE") << "core=" << soft(core) << " fsize=" << soft(fsize)
                                      << " sid=" << getsid(0) << " cwd=" << getcwd(cwd, sizeof cwd);
    }
    std::ifstream(dir + "/behaviour") >> behaviour;
    if (!optionsFile.empty()) std::ofstream(dir + "/OPTIONS") << std::ifstream(optionsFile).rdbuf();
    if (behaviour == "fail" || behaviour == "refused") {
        int status = 1;
        std::ifstream(dir + "/behaviour") >> behaviour >> status;
        if (behaviour == "refused") std::printf("MS-CHAP authentication failed: E=691\n");
        return status;
    }
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, nullptr);
    int signal = 0;
    if (behaviour == "dialling") {
        writePid(dir + "/DIALLING", getpid());
        sigwait(&term, &signal);
        unlink((dir + "/DIALLING").c_str());
        return 5;
    }
    const std::string pidFile = dir + "/run/ppp-" + link + ".pid";
    writePid(pidFile, getpid());
    if (behaviour == "hold") {
        const int ready = open((dir + "/ready").c_str(), O_WRONLY);
        if (write(ready, "ready\n", 6) != 6) return 1;
        close(ready);
        const int go = open((dir + "/go").c_str(), O_RDONLY);
        char byte;
        if (read(go, &byte, 1) != 1) return 1;
        close(go);
    }

    const pid_t daemon = fork();
    if (daemon < 0) return 1;
    if (daemon > 0) {
        writePid(pidFile, daemon);
        return 0;
    }
    setsid();
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd)
        dup2(null, fd);
    if (behaviour == "stubborn") {
        for (;;)
            sigsuspend(&term); // SIGTERM stays blocked: only SIGKILL ends it
    }
    sigwait(&term, &signal);
    unlink(pidFile.c_str());
    return 5;
}

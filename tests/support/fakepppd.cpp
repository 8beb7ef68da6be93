// A stand-in for pppd in the dial tool's tests. Its world is the folder it was copied to:
//   ARGS          written: its arguments, one per line
//   PASSWORD      written: what it read from the passwordfd descriptor
//   run/ppp-LINK.pid   written: its pid, as pppd writes it (removed when it ends)
//   RUNS          appended: one line each time it is started
//   behaviour     read, optional: "up" (default), "fail N" (exit N without a link), "refused N"
//                 (say that our authentication failed, as pppd does, and exit N),
//                 "hold" (up, but first say "ready" on the FIFO "ready" and wait until a byte
//                 arrives on the FIFO "go"), "stubborn" (up, and ignores SIGTERM)
// Like pppd with "updetach", it returns once the "link" is up and leaves a daemon behind,
// which waits without using the processor until it is signalled.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
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
    const std::string dir = world();
    std::string link, behaviour = "up";
    int passwordFd = -1;
    {
        std::ofstream args(dir + "/ARGS");
        for (int i = 0; i < argc; ++i) {
            args << argv[i] << '\n';
            if (i + 1 < argc && std::strcmp(argv[i], "linkname") == 0) link = argv[i + 1];
            if (i + 1 < argc && std::strcmp(argv[i], "passwordfd") == 0)
                passwordFd = std::atoi(argv[i + 1]);
        }
    }
    std::ofstream(dir + "/RUNS", std::ios::app) << "run\n";
    std::ifstream(dir + "/behaviour") >> behaviour;
    if (passwordFd >= 0) {
        std::string password;
        char buffer[512];
        ssize_t got;
        while ((got = read(passwordFd, buffer, sizeof buffer)) > 0)
            password.append(buffer, std::size_t(got));
        std::ofstream(dir + "/PASSWORD") << password;
    }
    if (behaviour == "fail" || behaviour == "refused") {
        int status = 1;
        std::ifstream(dir + "/behaviour") >> behaviour >> status;
        if (behaviour == "refused") std::printf("MS-CHAP authentication failed: E=691\n");
        return status;
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

    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, nullptr);
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
    int signal = 0;
    sigwait(&term, &signal);
    unlink(pidFile.c_str());
    return 5;
}

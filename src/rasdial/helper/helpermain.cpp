// rasdial-helper: the dial tool's privileged part, started by rasdial through pkexec (or
// directly when root runs rasdial). Takes no arguments: the request comes on standard input
// and the caller is pkexec's PKEXEC_UID. Plain C and C++ libraries only.
#include "linkcontrol.h"
#include "rasdialerrors.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Before anything is read: no core dump anywhere (the caller chose our limits and, with
// pkexec --keep-cwd, our folder), root's own resource limits for us and the pppd we start,
// the root folder and a plain umask.
void harden() {
    prctl(PR_SET_DUMPABLE, 0);
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    for (const int resource :
         {RLIMIT_CPU, RLIMIT_FSIZE, RLIMIT_DATA, RLIMIT_STACK, RLIMIT_RSS, RLIMIT_NPROC,
          RLIMIT_NOFILE, RLIMIT_MEMLOCK, RLIMIT_AS, RLIMIT_LOCKS, RLIMIT_SIGPENDING,
          RLIMIT_MSGQUEUE, RLIMIT_NICE, RLIMIT_RTPRIO, RLIMIT_RTTIME}) {
        const auto which = __rlimit_resource(resource);
        rlimit own, given; // the init process's, the caller's
        if (prlimit(1, which, nullptr, &own) != 0 || setrlimit(which, &own) == 0) continue;
        // Without the right to raise a hard limit: as near to root's as it allows.
        if (getrlimit(which, &given) != 0) continue;
        given.rlim_cur = own.rlim_cur < given.rlim_max ? own.rlim_cur : given.rlim_max;
        setrlimit(which, &given);
    }
    if (chdir("/") != 0) _exit(1);
    umask(022);
    signal(SIGPIPE, SIG_IGN);
}

// Writes what was held back to the caller's descriptor, giving up after `patience` seconds of
// a full pipe.
void deliver(int held, int to, int patience) {
    fcntl(to, F_SETFL, fcntl(to, F_GETFL) | O_NONBLOCK);
    char buffer[4096];
    off_t at = 0;
    ssize_t got;
    while ((got = pread(held, buffer, sizeof buffer, at)) > 0) {
        at += got;
        for (ssize_t sent = 0; sent < got;) {
            pollfd item{to, POLLOUT, 0};
            if (poll(&item, 1, patience * 1000) <= 0) return;
            const ssize_t n = write(to, buffer + sent, std::size_t(got - sent));
            if (n < 0 && errno != EAGAIN && errno != EINTR) return;
            if (n > 0) sent += n;
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 1) {
        std::fprintf(stderr, "%s: takes no arguments; rasdial starts it\n", argv[0]);
        return rasdial::exitStatus(rasdial::AccessDenied);
    }
    for (int fd = 0; fd < 3; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd) return 1;
    harden();

    // A session of its own: the caller's terminal (^C, ^Z) reaches only this first process,
    // which waits for the helper and passes its status on.
    const pid_t helper = fork();
    if (helper < 0) return rasdial::exitStatus(rasdial::TunnelFailed);
    if (helper > 0) {
        for (const int sig : {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGHUP})
            signal(sig, SIG_IGN);
        int status = 0;
        while (waitpid(helper, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : rasdial::exitStatus(rasdial::TunnelFailed);
    }
    setsid();

    // Everything said is held back and handed to the caller only at the end, when no lock is
    // held any more: a caller who does not read cannot keep others from dialling.
    const int out = fcntl(1, F_DUPFD_CLOEXEC, 10), err = fcntl(2, F_DUPFD_CLOEXEC, 10);
    const int heldOut = memfd_create("rasdial-out", MFD_CLOEXEC);
    const int heldErr = memfd_create("rasdial-err", MFD_CLOEXEC);
    if (out < 0 || err < 0 || heldOut < 0 || heldErr < 0 || dup2(heldOut, 1) < 0 ||
        dup2(heldErr, 2) < 0)
        return rasdial::exitStatus(rasdial::TunnelFailed);

    const rasdial::ToolPaths& paths = rasdial::toolPaths();
    const int code = rasdial::runLinkHelper(paths, environ);
    std::fflush(stdout);
    std::fflush(stderr);
    deliver(heldErr, err, paths.patienceSeconds);
    deliver(heldOut, out, paths.patienceSeconds);
    return rasdial::exitStatus(code);
}

// rasdial: dials and hangs up the entries of the user's dial-up phonebook, with the command
// line and the messages of Windows' tool of that name.
#include "frontend.h"
#include "rasdialerrors.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char* argv[]) {
    // First of all, blank the credentials where they stand in our own arguments, so that
    // /proc/PID/cmdline of this process no longer shows the password.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::vector<int> credentials = rasdial::credentialPositions(arguments);
    for (const int at : credentials)
        std::memset(argv[at + 1], 0, std::strlen(argv[at + 1]));
    // The password's one buffer from here: the command's; its copy among the arguments goes.
    rasdial::Command command = rasdial::parseArguments(arguments);
    for (const int at : credentials)
        rasdial::wipeString(arguments[std::size_t(at)]);

    // Standard input, output and error are open, so that no descriptor the tool opens later
    // (the password pipe) can land on one of them.
    for (int fd = 0; fd < 3; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd) return 1;

    // A caller's file size limit (output redirected to a file under "ulimit -f") makes a
    // write fail, not end the dial halfway.
    std::signal(SIGXFSZ, SIG_IGN);

    const rasdial::ToolPaths& paths = rasdial::toolPaths();

    // A setuid rasdial would hand root to the user's side: pkexec is the way up.
    if (getuid() != geteuid()) {
        rasdial::note("must not be installed setuid; dialling uses pkexec");
        return rasdial::exitStatus(rasdial::AccessDenied);
    }
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return rasdial::exitStatus(rasdial::AccessDenied);
    return rasdial::runCommand(command, paths, std::string(self, std::size_t(length)));
}

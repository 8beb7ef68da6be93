#include "frontend.h"

#include "entryrequest.h"
#include "linkcontrol.h"
#include "passwordinput.h"
#include "rasdialerrors.h"
#include "simulator.h"

#include "platform/linux/phonebookfile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace rasdial {

namespace {

// How long "rasdial ENTRY USER *" waits for the password on a pipe.
constexpr int PasswordInputSeconds = 10;

// Says the outcome and gives the process's exit status for it.
int finish(int code) {
    return exitStatus(report(code));
}

void note(const std::string& line) {
    std::fprintf(stderr, "rasdial: %s\n", line.c_str());
}

// The user's phonebook, or the error that stops the command.
int readPhonebook(phonebook::Book* book) {
    const QString path = phonebook::defaultPath();
    phonebook::ReadResult result = phonebook::read(path);
    if (result.status == phonebook::ReadStatus::Unreadable) {
        note("cannot read " + path.toStdString());
        return CannotOpenPhonebook;
    }
    if (result.status == phonebook::ReadStatus::Damaged) {
        note(path.toStdString() + " is not a phonebook");
        return CorruptPhonebook;
    }
    *book = std::move(result.book);
    return Success;
}

// Starts the privileged part with the request on its standard input and waits for it; it
// prints its own outcome. Its environment is ours to choose: nothing of the caller's.
int runPrivileged(const ToolPaths& paths, const std::string& self, const LinkRequest& request) {
    std::vector<std::string> args;
    if (geteuid() != 0 || paths.alwaysElevate) {
        if (access(paths.pkexec.c_str(), X_OK) != 0) {
            note("dialling needs root, and " + paths.pkexec +
                 " is missing: install the package pkexec (policykit-1), or run rasdial as root");
            return finish(AccessDenied);
        }
        args.push_back(paths.pkexec);
    }
    args.push_back(helperPath(paths, self));
    std::vector<char*> argv = execArray(args);
    std::vector<std::string> environment = privilegedEnvironment();
    std::vector<char*> envp = execArray(environment);

    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) return finish(TunnelFailed);
    const pid_t child = fork();
    if (child == 0) {
        dup2(input[0], 0);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(input[0]);
    if (child < 0) {
        close(input[1]);
        return finish(TunnelFailed);
    }
    // A helper that refuses early closes its end: that is not our failure.
    const std::string text = serializeRequest(request);
    std::signal(SIGPIPE, SIG_IGN);
    for (std::size_t sent = 0; sent < text.size();) {
        const ssize_t n = write(input[1], text.data() + sent, text.size() - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        sent += std::size_t(n);
    }
    close(input[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) return finish(TunnelFailed);
    const int code = WEXITSTATUS(status);
    // pkexec's own answers: 126 the user dismissed the authentication, 127 not authorized.
    if (!args.empty() && args[0] == paths.pkexec && (code == 126 || code == 127)) {
        note("pkexec did not authorize the dial (polkit action net.miravon.rasdial)");
        return finish(AccessDenied);
    }
    return code;
}

const char* simulator() {
    const char* site = std::getenv(SimulatorVariable);
    if (!site || !*site) return nullptr;
    return site;
}

int list(const ToolPaths& paths) {
    if (const char* site = simulator()) return exitStatus(simulatedList(site));
    phonebook::Book book;
    if (const int code = readPhonebook(&book)) return finish(code);
    std::vector<std::string> connected;
    for (const phonebook::Entry& entry : book.entries)
        if (linkProcess(paths, getuid(), entry.name.toStdString()))
            connected.push_back(entry.name.toStdString());
    if (connected.empty()) {
        std::printf("No connections\n");
    } else {
        std::printf("Connected to\n");
        for (const std::string& name : connected)
            std::printf("%s\n", name.c_str());
    }
    return finish(Success);
}

int dial(Command command, const ToolPaths& paths, const std::string& self) {
    if (command.passwordOnInput) {
        // Read before anything else, so that whoever hands it over is never kept waiting.
        std::string problem;
        const auto password = isatty(0) ? askPassword(0, command.user, MaxPasswordBytes, &problem)
                                        : readPasswordLine(0, MaxPasswordBytes,
                                                           PasswordInputSeconds * 1000, &problem);
        if (!password) {
            note(problem);
            return exitStatus(Usage);
        }
        command.password = *password;
    }
    phonebook::Book book;
    if (const int code = readPhonebook(&book)) return finish(code);
    const phonebook::Entry* entry = book.find(QString::fromStdString(command.entry));
    if (!entry) return finish(CannotFindEntry);
    const auto request = dialRequest(*entry, command.user, command.password);
    if (!request) {
        note("the entry's fields are incomplete, or its server is not a host name or address");
        return finish(CorruptPhonebook);
    }
    if (const char* site = simulator()) {
        if (!isSimulatorAddress(site)) {
            note(std::string(SimulatorVariable) + " must be http://HOST[:PORT]");
            return finish(TunnelFailed);
        }
        return exitStatus(simulatedDial(site, *request));
    }
    return runPrivileged(paths, self, *request);
}

int hangUp(const Command& command, const ToolPaths& paths, const std::string& self) {
    if (const char* site = simulator()) {
        if (!isSimulatorAddress(site)) {
            note(std::string(SimulatorVariable) + " must be http://HOST[:PORT]");
            return finish(TunnelFailed);
        }
        return exitStatus(simulatedHangUp(site, command.entry));
    }
    // Nothing to hang up needs no root: no password prompt when the connector hangs up a link
    // that is not there. Whether a running process really is the link's pppd is for the
    // privileged part to decide: only root may look at a root process's program.
    // Root may hang up any user's link of the entry: that is for its helper to find.
    const auto pid = readPidFile(pidFilePath(paths, getuid(), command.entry));
    if (getuid() != 0 && (!pid || (kill(*pid, 0) != 0 && errno != EPERM)))
        return finish(NotConnected);
    LinkRequest request;
    request.action = RequestAction::HangUp;
    request.entry = command.entry;
    if (!requestProblem(request).empty()) return finish(NotConnected);
    return runPrivileged(paths, self, request);
}

} // namespace

int runCommand(const Command& command, const ToolPaths& paths, const std::string& self) {
    switch (command.action) {
    case Action::List:
        return list(paths);
    case Action::Dial:
        return dial(command, paths, self);
    case Action::HangUp:
        return hangUp(command, paths, self);
    case Action::Usage:
        break;
    }
    std::fprintf(stderr, "rasdial: %s\n%s", command.problem.c_str(), usageText());
    return exitStatus(Usage);
}

} // namespace rasdial

// The platform on Linux desktops: Qt message boxes, detached processes, the per-user file
// that holds the few registry values the connector uses, and X11 window sweeps.
#include "platform/commandline.h"
#include "platform/linux/phonebookfile.h"
#include "platform/linux/phonebookstore.h"
#include "platform/linux/x11windows.h"
#include "platform/sessionbus.h"
#include "platform/systemplatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Both starts give the program the environment the connector was started in (the D-Bus address
// as it was), and false when the program could not be run.

// The strings as exec takes them: pointers into them, the last one null.
std::vector<char*> nullTerminated(std::vector<QByteArray>& strings) {
    std::vector<char*> pointers;
    for (QByteArray& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts the program detached, as QProcess::startDetached does, with `input` waiting on its
// standard input (a pipe; a few hundred bytes fit without blocking).
bool startDetachedWithInput(const QString& program, const QStringList& arguments,
                            const QByteArray& input) {
    const QString path = program.contains(u'/') ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty() || input.size() > PIPE_BUF) return false;
    std::vector<QByteArray> strings{QFile::encodeName(path)};
    for (const QString& argument : arguments)
        strings.push_back(argument.toLocal8Bit());
    std::vector<QByteArray> variables;
    for (const QString& variable : environmentForChildren().toStringList())
        variables.push_back(variable.toLocal8Bit());
    const std::vector<char*> argv = nullTerminated(strings);
    const std::vector<char*> envp = nullTerminated(variables);

    int in[2], failure[2];
    if (pipe2(in, O_CLOEXEC) != 0) return false;
    if (pipe2(failure, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return false;
    }
    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls here. The grandchild runs the program, so that nobody
        // has to wait for it; an exec that fails says its errno on the failure pipe.
        if (fork() != 0) _exit(0);
        setsid();
        dup2(in[0], 0);
        execve(argv[0], argv.data(), envp.data());
        const int error = errno;
        (void)!write(failure[1], &error, sizeof error);
        _exit(127);
    }
    close(in[0]);
    close(failure[1]);
    bool started = child > 0;
    if (started) {
        (void)!write(in[1], input.constData(), std::size_t(input.size()));
        int error = 0;
        ssize_t got;
        while ((got = read(failure[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
        started = got == 0; // closed by the exec
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    close(in[1]);
    close(failure[0]);
    return started;
}

// Starts the program detached.
bool startDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environmentForChildren());
    return process.startDetached();
}

class LinuxPlatform final : public SystemPlatform {
public:
    bool launch(const QString& commandLine, int) override {
        // Linux has no window to hide or minimise for a detached program: the show state
        // is for the desktop to decide.
        const LaunchTarget target =
            resolveLaunch(commandLine, QCoreApplication::applicationDirPath());
        if (!target.program.isEmpty() &&
            (target.standardInput.isEmpty()
                 ? startDetached(target.program, target.arguments)
                 : startDetachedWithInput(target.program, target.arguments, target.standardInput)))
            return true;
        std::fprintf(stderr, "miravon-vpn: cannot start %s\n",
                     qPrintable(target.program.isEmpty() ? commandLine : target.program));
        return false;
    }

    bool setEntryProperties(const QString& entryName, const QByteArray& rasEntry) override {
        return storeEntryProperties(phonebook::defaultPath(), entryName, rasEntry);
    }

    bool setCredentials(const QString& entryName, const QByteArray& rasCredentials) override {
        return storeCredentials(phonebook::defaultPath(), entryName, rasCredentials);
    }

    // Only X11 lets one program see and close another's windows; on Wayland or without a
    // screen there is nothing to sweep.
    void closeWindowsTitled(const QString& title) override {
        if (!qGuiApp) return;
        const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11 || !x11->connection()) return;
        X11TopLevelWindows windows(x11->connection());
        ::closeWindowsTitled(windows, title);
    }
};

} // namespace

std::unique_ptr<Platform> createPlatform() {
    return std::make_unique<LinuxPlatform>();
}

#include "frontend.h"

// GLib's headers (libnm's, through nmsession.h) before Qt's, whose "signals" keyword they use
// as a name.
#include "nmsession.h"

#include "dialguard.h"
#include "entryrequest.h"
#include "hangupsignals.h"
#include "helperpath.h"
#include "passwordinput.h"
#include "pathchoice.h"
#include "rasdialerrors.h"
#include "simulator.h"

#include "platform/linux/phonebookfile.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace rasdial {

namespace {

// How long "rasdial ENTRY USER *" waits for the password on a pipe.
constexpr int PasswordInputSeconds = 10;
// How long a hang-up waits for a dial in progress to end: the dialling tool hangs up what it
// started (pppd's own SIGTERM grace, or NetworkManager's hang-up) before it ends.
constexpr int DialEndMs = 8000;

// Says the outcome and gives the process's exit status for it.
int finish(int code) {
    return exitStatus(report(code));
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

const char* simulator() {
    const char* site = std::getenv(SimulatorVariable);
    if (!site || !*site) return nullptr;
    return site;
}

int list(const ToolPaths& paths, const std::string& self) {
    if (const char* site = simulator()) return exitStatus(simulatedList(site));
    phonebook::Book book;
    if (const int code = readPhonebook(&book)) return finish(code);
    const HelperPath helper(paths, self);
    const auto session = paths.networkManager ? nm::Session::open() : nullptr;
    std::vector<std::string> connected;
    for (const phonebook::Entry& entry : book.entries) {
        const std::string name = entry.name.toStdString();
        if (helper.isConnected(name) || (session && session->isConnected(name)))
            connected.push_back(name);
    }
    if (connected.empty()) {
        std::printf("No connections\n");
    } else {
        std::printf("Connected to\n");
        for (const std::string& name : connected)
            std::printf("%s\n", name.c_str());
    }
    return finish(Success);
}

int dial(Command& command, const ToolPaths& paths, const std::string& self) {
    if (command.passwordOnInput) {
        // Read before anything else, so that whoever hands it over is never kept waiting;
        // straight into the command's buffer, in place of the "*".
        std::string problem;
        const bool read = isatty(0) ? askPassword(0, command.user, &command.password, &problem)
                                    : readPasswordLine(0, &command.password,
                                                       PasswordInputSeconds * 1000, &problem);
        if (!read) {
            note(problem);
            return exitStatus(Usage);
        }
    }
    // NetworkManager takes UTF-8 text only; pppd would take any bytes, but then the same input
    // would dial on one path and not on the other.
    for (const auto& [value, what] : {std::pair{std::string_view(command.user), "user name"},
                                      std::pair{command.password.view(), "password"}})
        if (!isUtf8(value)) {
            note(std::string("the ") + what +
                 " is not UTF-8 text: check the terminal's or the "
                 "caller's character set");
            return exitStatus(Usage);
        }
    phonebook::Book book;
    if (const int code = readPhonebook(&book)) return finish(code);
    const phonebook::Entry* entry = book.find(QString::fromStdString(command.entry));
    if (!entry) return finish(CannotFindEntry);
    // The password's one buffer is the request's from here.
    auto request = dialRequest(*entry, command.user, std::move(command.password));
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
    auto via = parseVia(std::getenv(ViaVariable));
    if (!via) {
        note(std::string(ViaVariable) + " must be helper or networkmanager");
        return exitStatus(Usage);
    }
    if (!paths.networkManager) via = Via::Helper;
    DialGuard guard;
    if (guard.take(command.entry) == DialGuard::Outcome::Busy) return finish(AlreadyDialing);
    // From here a hang-up (`rasdial ENTRY /d`, the connector giving up, ^C) ends the dial at
    // whichever step it is in: whatever was started is hung up, and nothing comes up after it.
    const HangUpSignals hangUp;

    std::unique_ptr<nm::Session> session;
    std::optional<nm::Availability> offer;
    if (*via != Via::Helper && (session = nm::Session::open())) offer = session->availability();
    if (HangUpSignals::asked()) return finish(UserDisconnection);
    const PathChoice choice = choosePath(*via, offer);
    if (choice.refused) {
        note("cannot dial through NetworkManager: " + choice.reason);
        return finish(offer && !offer->userSession ? AccessDenied : TunnelFailed);
    }
    if (choice.networkManager) {
        note("dialling through NetworkManager: " + choice.reason);
        return exitStatus(session->dial(paths, *request));
    }
    session.reset();
    note("dialling through pppd (the privileged helper): " + choice.reason);
    return exitStatus(HelperPath(paths, self).dial(*request));
}

int hangUp(const Command& command, const ToolPaths& paths, const std::string& self) {
    if (const char* site = simulator()) {
        if (!isSimulatorAddress(site)) {
            note(std::string(SimulatorVariable) + " must be http://HOST[:PORT]");
            return finish(TunnelFailed);
        }
        return exitStatus(simulatedHangUp(site, command.entry));
    }
    // A dial still in progress first, so that nothing comes up after the hang-up; then the
    // links of both kinds. Each path says its own outcome.
    const bool endedDial = endDialInProgress(command.entry, DialEndMs);
    std::optional<int> outcome;
    if (paths.networkManager)
        if (const auto session = nm::Session::open()) outcome = session->hangUp(command.entry);
    if (const auto code = HelperPath(paths, self).hangUp(command.entry)) outcome = code;
    if (outcome) return exitStatus(*outcome);
    return finish(endedDial ? Success : NotConnected);
}

} // namespace

int runCommand(Command& command, const ToolPaths& paths, const std::string& self) {
    switch (command.action) {
    case Action::List:
        return list(paths, self);
    case Action::Dial:
        return dial(command, paths, self);
    case Action::HangUp:
        return hangUp(command, paths, self);
    case Action::Usage:
        break;
    }
    note(command.problem);
    std::fputs(usageText(), stderr);
    return exitStatus(Usage);
}

} // namespace rasdial

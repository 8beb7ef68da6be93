// A stand-in for Windows' rasdial.exe, for the tests under Wine (which has none): the command
// line, messages and exit statuses of the project's own rasdial, dialling the simulated link of
// the local site (RASDIAL_SIMULATOR=http://127.0.0.1:PORT). A dial finds the entry's record
// where the stand-in rasapi32.dll wrote it (standinrecords.h); hang-ups and lists ask the site
// only, as the Linux tool does in that mode.
#include "arguments.h"
#include "linkrequest.h"
#include "rasdialerrors.h"
#include "simulator.h"
#include "standinrecords.h"

#include "platform/raslayout.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace rasdial;

int finish(int code) {
    return exitStatus(report(code));
}

void note(const std::string& line) {
    std::fprintf(stderr, "rasdial: %s\n", line.c_str());
}

// The arguments after the program name, from the UTF-16 command line, in UTF-8.
std::vector<std::string> commandArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words) return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(standin::narrow(words[i], CP_UTF8));
    LocalFree(words);
    return arguments;
}

// "rasdial ENTRY USER *": one line of standard input, in the ANSI code page.
bool readPassword(Password* password) {
    std::string line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';) {
        if (line.size() == MaxPasswordBytes + 1) {
            note("the password is too long");
            return false;
        }
        line += char(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > MaxPasswordBytes) {
        note("the password is too long");
        return false;
    }
    std::string text = standin::narrow(standin::widen(line, CP_ACP), CP_UTF8);
    wipeString(line);
    const bool fits = password->assign(text);
    wipeString(text);
    if (!fits) note("the password is too long");
    return fits;
}

std::uint32_t number(const std::string& record, const ras::Field& field) {
    const auto* at = reinterpret_cast<const unsigned char*>(record.data()) + field.offset;
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
           std::uint32_t(at[3]) << 24;
}

// The dial request for the entry the stand-in rasapi32.dll recorded, or the error that stops
// the dial.
int recordedRequest(const std::string& entry, LinkRequest* request) {
    const std::wstring folder = standin::recordsFolder();
    std::string name;
    switch (standin::readFile(standin::inFolder(folder, standin::EntryNameFile), 4096, &name)) {
    case standin::ReadOutcome::Missing:
        return CannotFindEntry;
    case standin::ReadOutcome::Failed:
        note("cannot read the entry's name in " + standin::narrow(folder, CP_UTF8));
        return CannotOpenPhonebook;
    case standin::ReadOutcome::Read:
        break;
    }
    if (standin::narrow(standin::widen(name, CP_ACP), CP_UTF8) != entry) return CannotFindEntry;

    std::string record;
    const auto read =
        standin::readFile(standin::inFolder(folder, standin::EntryRecordFile), 65536, &record);
    if (read != standin::ReadOutcome::Read || record.size() < std::size_t(ras::EntrySize) ||
        number(record, ras::dwSize) < std::uint32_t(ras::EntrySize)) {
        note("the entry's record is missing or short");
        return CorruptPhonebook;
    }
    const std::string phone = record.substr(std::size_t(ras::szLocalPhoneNumber.offset),
                                            std::size_t(ras::szLocalPhoneNumber.size));
    const std::size_t end = phone.find('\0');
    if (end == std::string::npos) {
        note("the entry's server has no end");
        return CorruptPhonebook;
    }
    request->action = RequestAction::Dial;
    request->entry = entry;
    request->server = standin::narrow(standin::widen(phone.substr(0, end), CP_ACP), CP_UTF8);
    request->options = number(record, ras::dwfOptions);
    request->options2 = number(record, ras::dwfOptions2);
    request->protocols = number(record, ras::dwfNetProtocols);
    request->encryption = number(record, ras::dwEncryptionType);
    request->type = number(record, ras::dwType);
    request->redialCount = number(record, ras::dwRedialCount);
    request->redialPause = number(record, ras::dwRedialPause);
    if (!requestProblem(*request).empty()) {
        note("the entry's fields are incomplete, or its server is not a host name or address");
        return CorruptPhonebook;
    }
    return Success;
}

// The local site, when RASDIAL_SIMULATOR names one.
const char* simulator() {
    const char* site = std::getenv(SimulatorVariable);
    return site && *site ? site : nullptr;
}

int notSimulated() {
    note(std::string("set ") + SimulatorVariable +
         "=http://127.0.0.1:PORT: this stand-in dials only the local site's simulated link");
    return finish(TunnelFailed);
}

int list() {
    if (const char* site = simulator()) return exitStatus(simulatedList(site));
    say("No connections");
    return finish(Success);
}

int dial(Command& command) {
    if (command.passwordOnInput && !readPassword(&command.password)) return exitStatus(Usage);
    LinkRequest request;
    if (const int code = recordedRequest(command.entry, &request)) return finish(code);
    request.user = command.user;
    request.password = std::move(command.password);
    const char* site = simulator();
    if (!site) return notSimulated();
    if (!isSimulatorAddress(site)) {
        note(std::string(SimulatorVariable) + " must be http://HOST[:PORT]");
        return finish(TunnelFailed);
    }
    return exitStatus(simulatedDial(site, request));
}

int hangUp(const Command& command) {
    const char* site = simulator();
    if (!site) return finish(NotConnected);
    if (!isSimulatorAddress(site)) {
        note(std::string(SimulatorVariable) + " must be http://HOST[:PORT]");
        return finish(TunnelFailed);
    }
    return exitStatus(simulatedHangUp(site, command.entry));
}

} // namespace

int main() {
    // A console shows the UTF-8 of the messages (the entry's name) as it is.
    SetConsoleOutputCP(CP_UTF8);
    Command command = parseArguments(commandArguments());
    switch (command.action) {
    case Action::List:
        return list();
    case Action::Dial:
        return dial(command);
    case Action::HangUp:
        return hangUp(command);
    case Action::Usage:
        break;
    }
    std::fprintf(stderr, "rasdial: %s\n%s", command.problem.c_str(), usageText());
    return exitStatus(Usage);
}

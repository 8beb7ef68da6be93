#include "arguments.h"

#include <cctype>

namespace rasdial {

namespace {

enum class Switch { None, Disconnect, Unsupported };

bool sameWord(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) return false;
    return true;
}

// Windows' switches; any other word, also one starting with "/", is a value (a password may
// well start with a slash: it is looked at where it stands, never copied).
Switch switchOf(std::string_view argument) {
    if (argument.size() < 2 || argument[0] != '/') return Switch::None;
    const std::string_view name = argument.substr(1, argument.find(':') - 1);
    if (sameWord(name, "DISCONNECT") || sameWord(name, "D")) return Switch::Disconnect;
    for (const char* other : {"DOMAIN", "PHONE", "CALLBACK", "PHONEBOOK", "PREFIXSUFFIX"})
        if (sameWord(name, other)) return Switch::Unsupported;
    return Switch::None;
}

Command usage(std::string problem) {
    Command command;
    command.problem = std::move(problem);
    return command;
}

} // namespace

Command parseArguments(const std::vector<std::string>& arguments) {
    if (arguments.size() > MaxArguments) return usage("too many arguments");
    std::vector<std::string_view> values;
    bool disconnect = false;
    for (const std::string& argument : arguments) {
        switch (switchOf(argument)) {
        case Switch::Disconnect:
            disconnect = true;
            break;
        case Switch::Unsupported:
            return usage("the switch " + argument.substr(0, argument.find(':')) +
                         " is not supported here");
        case Switch::None:
            values.push_back(argument);
            break;
        }
    }
    Command command;
    if (values.empty()) {
        if (disconnect) return usage("name the entry to hang up");
        command.action = Action::List;
        return command;
    }
    if (values[0].size() > MaxEntryBytes) return usage("the entry name is too long");
    command.entry = std::string(values[0]);
    if (disconnect) {
        if (values.size() > 1) return usage("/DISCONNECT takes only the entry name");
        command.action = Action::HangUp;
        return command;
    }
    if (values.size() > 3) return usage("too many values: ENTRY [USER [PASSWORD]]");
    if (values.size() > 1) command.user = std::string(values[1]);
    if (command.user.size() > MaxUserBytes) return usage("the user name is too long");
    if (values.size() > 2 && !command.password.assign(values[2]))
        return usage("the password is too long");
    command.passwordOnInput = command.password.view() == "*";
    command.action = Action::Dial;
    return command;
}

std::vector<int> credentialPositions(const std::vector<std::string>& arguments) {
    std::vector<int> positions;
    bool entry = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (switchOf(arguments[i]) != Switch::None) continue;
        if (!entry) positions.push_back(int(i));
        entry = false;
    }
    return positions;
}

const char* usageText() {
    return "USAGE:\n"
           "        rasdial entryname [username [password|*]]\n"
           "        rasdial entryname /DISCONNECT\n"
           "        rasdial\n";
}

} // namespace rasdial

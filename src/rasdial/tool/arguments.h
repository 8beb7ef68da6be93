#pragma once

#include "password.h"

#include <string>
#include <vector>

// The command line of the dial tool, the same as Windows' rasdial:
//   rasdial ENTRY [USER [PASSWORD]]    dial ENTRY of the user's phonebook
//   rasdial ENTRY USER *               the same, the password read from standard input
//   rasdial ENTRY /DISCONNECT          hang ENTRY up (also /d, any case)
//   rasdial                            list the entries that are connected
namespace rasdial {

constexpr std::size_t MaxArguments = 8;
constexpr std::size_t MaxEntryBytes = 256;    // Windows' longest entry name
constexpr std::size_t MaxUserBytes = 256;     // Windows' longest user name
constexpr std::size_t MaxPasswordBytes = Password::Capacity; // what pppd keeps of a secret

enum class Action { List, Dial, HangUp, Usage };

struct Command {
    Action action = Action::Usage;
    std::string entry;
    std::string user;
    Password password;
    bool passwordOnInput = false; // "*" in its place
    std::string problem;          // for Usage: what is wrong, one line
};

// The arguments after the program name (whose credentials the caller wipes afterwards).
Command parseArguments(const std::vector<std::string>& arguments);

// Where the user name and the password stand among the arguments after the program name:
// every value that is not a switch, after the entry name. main() blanks them there before
// anything else happens (also the user name: with an empty account the password takes its
// place).
std::vector<int> credentialPositions(const std::vector<std::string>& arguments);

// The command summary printed with a usage error.
const char* usageText();

} // namespace rasdial

#pragma once

#include <string>

// The outcomes of the dial tool, numbered and worded as Windows' remote-access errors, so that
// scripts written for Windows' rasdial read them the same way.
namespace rasdial {

enum Code : int {
    Success = 0,
    Usage = 1,        // not a remote-access error: the command line was wrong
    AccessDenied = 5, // the privileged part could not be reached or refused to run
    CannotOpenPhonebook = 621,
    CannotFindEntry = 623,
    CorruptPhonebook = 625,
    UserDisconnection = 631,
    NotConnected = 668,
    AuthenticationFailed = 691,
    // The dial needed information it was not given: NetworkManager got no password for the
    // profile (Windows: "does not allow user interaction").
    NeedsInformation = 703,
    PppTerminated = 734, // PPP ended while the link was being set up: the reason is not known
    AlreadyDialing = 756,
    TunnelFailed = 800, // also: the server does not answer
    NameNotResolved = 868,
};

// "Remote Access error 623 - The system could not find the phone book entry for this
// connection." (no line end).
std::string errorLine(int code);

// The process exit status for a code. Linux keeps only the low 8 bits of a status, so 623
// leaves the process as 111; the printed error line carries the whole number.
int exitStatus(int code);

// A line on standard output, flushed at once.
void say(const std::string& line);
// A note for whoever reads the tool's standard error ("rasdial: LINE"): what happened and
// why, beside the Windows messages on standard output.
void note(const std::string& line);
// Says the outcome ("Command completed successfully." or the error line) and returns the code.
int report(int code);

} // namespace rasdial

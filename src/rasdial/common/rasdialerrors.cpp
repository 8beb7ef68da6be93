#include "rasdialerrors.h"

#include <cstdio>

namespace rasdial {

std::string errorLine(int code) {
    const char* text = "An unexpected error occurred.";
    switch (code) {
    case AccessDenied:
        text = "Access is denied.";
        break;
    case CannotOpenPhonebook:
        text = "The system could not open the phone book file.";
        break;
    case CannotFindEntry:
        text = "The system could not find the phone book entry for this connection.";
        break;
    case CorruptPhonebook:
        text = "The system found invalid information in the phone book.";
        break;
    case UserDisconnection:
        text = "The port was disconnected by the user.";
        break;
    case NotConnected:
        text = "The connection is not connected.";
        break;
    case AuthenticationFailed:
        text = "The remote connection was denied because the user name and password combination "
               "you provided is not recognized, or the selected authentication protocol is not "
               "permitted on the remote access server.";
        break;
    case NeedsInformation:
        text = "The connection needs information from you, but the application does not allow "
               "user interaction.";
        break;
    case PppTerminated:
        text = "The PPP link control protocol was terminated.";
        break;
    case AlreadyDialing:
        text = "This connection is already being dialed.";
        break;
    case TunnelFailed:
        text = "The remote connection was not made because the attempted VPN tunnels failed.";
        break;
    case NameNotResolved:
        text = "The remote connection was not made because the name of the remote access server "
               "did not resolve.";
        break;
    }
    return "Remote Access error " + std::to_string(code) + " - " + text;
}

int exitStatus(int code) {
    return code & 0xFF;
}

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void note(const std::string& line) {
    std::fprintf(stderr, "rasdial: %s\n", line.c_str());
}

int report(int code) {
    say(code == Success ? "Command completed successfully." : errorLine(code));
    return code;
}

} // namespace rasdial

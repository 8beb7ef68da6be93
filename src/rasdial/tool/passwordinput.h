#pragma once

#include "password.h"

#include <string>

// "rasdial ENTRY USER *": the password comes on standard input instead of the command line,
// where every local user could read it in /proc.
namespace rasdial {

// One line from the descriptor, read straight into `password` (its one buffer): the bytes up to
// the first line end ("\n" or "\r\n") or the end of the input, at most Password::Capacity
// bytes, all within `timeoutMs`. False (and `problem`, in words, and `password` empty) when the
// line is longer, or does not come in time.
bool readPasswordLine(int fd, Password* password, int timeoutMs, std::string* problem);

// The same from a terminal: asks, without echo, and waits as long as the user takes.
bool askPassword(int fd, const std::string& user, Password* password, std::string* problem);

} // namespace rasdial

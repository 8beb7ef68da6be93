#pragma once

#include <optional>
#include <string>

// "rasdial ENTRY USER *": the password comes on standard input instead of the command line,
// where every local user could read it in /proc.
namespace rasdial {

// One line from the descriptor: the bytes up to the first line end ("\n" or "\r\n") or the
// end of the input, at most `limit` bytes, all within `timeoutMs`. Nothing (and `problem`,
// in words) when the line is longer, or does not come in time.
std::optional<std::string> readPasswordLine(int fd, std::size_t limit, int timeoutMs,
                                            std::string* problem);

// The same from a terminal: asks, without echo, and waits as long as the user takes.
std::optional<std::string> askPassword(int fd, const std::string& user, std::size_t limit,
                                       std::string* problem);

} // namespace rasdial

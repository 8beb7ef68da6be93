#pragma once

#include "password.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the user's side of the dial tool hands its privileged part on standard input: the
// action, the entry name and, for a dial, the entry's fields and the credentials.
//
//   rasdial-request 1
//   action=dial
//   entry=MiravonVPN网络连接器
//   szLocalPhoneNumber=10.0.0.1
//   dwfOptions=0x3D0D0310
//   ...
//   user=name
//   password=secret
//
// One "key=value" line each, values escaped as in the phonebook ("\\", "\n", "\r", "\t").
// The privileged part runs as root for whoever calls it, so the reader trusts nothing: the
// size, every key, every value, and what each value may hold are checked here, and any fault
// refuses the whole request.
namespace rasdial {

constexpr std::size_t MaxRequestBytes = 4096;
constexpr std::size_t MaxServerBytes = 128; // the entry's phone number field
constexpr std::uint32_t MaxRedialCount = 999;
constexpr std::uint32_t MaxRedialPause = 3600;

enum class RequestAction { Dial, HangUp };

struct LinkRequest {
    RequestAction action = RequestAction::Dial;
    std::string entry;
    // A dial's fields, named as the entry's record names them.
    std::string server;            // szLocalPhoneNumber
    std::uint32_t options = 0;     // dwfOptions
    std::uint32_t options2 = 0;    // dwfOptions2
    std::uint32_t protocols = 0;   // dwfNetProtocols
    std::uint32_t encryption = 0;  // dwEncryptionType
    std::uint32_t type = 0;        // dwType
    std::uint32_t redialCount = 0; // dwRedialCount
    std::uint32_t redialPause = 0; // dwRedialPause
    std::string user;
    Password password; // the dial's one copy: a request is moved, never copied
    // Whose link it is: not part of the request, the privileged part sets it to its caller.
    std::uint32_t owner = 0;
};

// The request as the helper reads it, in one allocation: the caller wipes it (wipeString) once
// it is sent.
std::string serializeRequest(const LinkRequest& request);

// The request in `size` bytes at `data`, or nothing (and `why`, one line) when anything about
// it is wrong. A plain function of bytes, so that it can be fed to a fuzzer.
std::optional<LinkRequest> parseRequest(const char* data, std::size_t size,
                                        std::string* why = nullptr);

// The checks parseRequest makes of a dial's values; empty when the request is sound.
std::string requestProblem(const LinkRequest& request);

// A host name (letters, digits and inner hyphens, in dot-separated labels) or a dotted IPv4
// address, and nothing else: the server address ends up in a command that pppd runs through
// a shell.
bool isHostOrAddress(std::string_view text);

// Whether the bytes are UTF-8 text (no overlong forms, no surrogates, nothing past U+10FFFF):
// NetworkManager takes nothing else (D-Bus strings are UTF-8), so neither path does.
bool isUtf8(std::string_view text);

// The numbers as the phonebook writes them: decimal, and option bits as "0x" and hex digits.
std::optional<std::uint32_t> parseDecimal(std::string_view text);
std::optional<std::uint32_t> parseFlags(std::string_view text);

} // namespace rasdial

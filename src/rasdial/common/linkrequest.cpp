#include "linkrequest.h"

#include "platform/raslayout.h"

#include <cstdio>
#include <vector>

namespace rasdial {

namespace {

constexpr std::string_view Header = "rasdial-request 1";
constexpr std::size_t MaxLines = 16;

// Appends the text, escaped: straight into `out`, whose room the caller made.
void escapeInto(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
}

std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size()); // one allocation: no copy of a secret left behind by a growth
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return std::nullopt; // raw control bytes never belong here
        if (c != '\\') {
            out += char(c);
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

bool hasControl(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

std::string flags(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isAlnum(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A dotted IPv4 address as inet_pton reads one: four decimal numbers of 0 to 255, without
// leading zeros, joined by single dots, and nothing after them.
bool isDottedQuad(const char* text) {
    for (int part = 1;; ++part) {
        if (!isDigit(*text)) return false;
        unsigned value = 0;
        for (const char* first = text; isDigit(*text); ++text) {
            if (text != first && value == 0) return false;
            value = value * 10 + unsigned(*text - '0');
            if (value > 255) return false;
        }
        if (part == 4) return *text == '\0';
        if (*text++ != '.') return false;
    }
}

std::optional<LinkRequest> refuse(std::string* why, std::string reason) {
    if (why) *why = std::move(reason);
    return std::nullopt;
}

} // namespace

std::optional<std::uint32_t> parseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + std::uint64_t(c - '0');
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return std::uint32_t(value);
}

std::optional<std::uint32_t> parseFlags(std::string_view text) {
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text.substr(2)) {
        int digit;
        if (isDigit(c))
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value << 4 | std::uint32_t(digit);
    }
    return value;
}

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
        const unsigned lead = byte(i);
        std::size_t length;
        unsigned lowest, value;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, lowest = 0x80, value = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, lowest = 0x800, value = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, lowest = 0x10000, value = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return false;
            value = value << 6 | (byte(i + k) & 0x3F);
        }
        if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

bool isHostOrAddress(std::string_view text) {
    if (text.empty() || text.size() > 253) return false;
    if (isDottedQuad(std::string(text).c_str())) return true;
    // A host name: labels of 1 to 63 letters, digits and inner hyphens; the last label not all
    // digits, so that nothing looking like a mangled address passes as a name.
    bool lastAllDigits = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('.', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view label = text.substr(start, end - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
        lastAllDigits = true;
        for (const char c : label) {
            if (!isAlnum(c) && c != '-') return false;
            if (!isDigit(c)) lastAllDigits = false;
        }
        start = end + 1;
    }
    return !lastAllDigits;
}

std::string serializeRequest(const LinkRequest& request) {
    // Room for every field escaped (each byte at most two), so that the text never moves.
    std::string text;
    text.reserve(2 * MaxRequestBytes);
    text += Header;
    text += '\n';
    const auto line = [&](const char* key, std::string_view value) {
        text += key;
        text += '=';
        escapeInto(text, value);
        text += '\n';
    };
    line("action", request.action == RequestAction::Dial ? "dial" : "hangup");
    line("entry", request.entry);
    if (request.action == RequestAction::HangUp) return text;
    line(ras::szLocalPhoneNumber.name, request.server);
    line(ras::dwfOptions.name, flags(request.options));
    line(ras::dwfOptions2.name, flags(request.options2));
    line(ras::dwfNetProtocols.name, flags(request.protocols));
    line(ras::dwEncryptionType.name, std::to_string(request.encryption));
    line(ras::dwType.name, std::to_string(request.type));
    line(ras::dwRedialCount.name, std::to_string(request.redialCount));
    line(ras::dwRedialPause.name, std::to_string(request.redialPause));
    line("user", request.user);
    line("password", request.password.view());
    return text;
}

std::string requestProblem(const LinkRequest& request) {
    if (request.entry.empty() || request.entry.size() > 256 || hasControl(request.entry))
        return "bad entry name";
    if (request.action == RequestAction::HangUp) return {};
    if (request.server.size() > MaxServerBytes || !isHostOrAddress(request.server))
        return "the server is neither a host name nor an IPv4 address";
    if (request.type != ras::RASET_Vpn) return "not a VPN entry";
    if (!(request.protocols & ras::RASNP_Ip)) return "the entry does not carry IP";
    if (request.encryption > ras::ET_Optional) return "unknown encryption type";
    if (request.redialCount > MaxRedialCount || request.redialPause > MaxRedialPause)
        return "redial count or pause out of range";
    if (request.user.size() > 256 || hasControl(request.user)) return "bad user name";
    if (!isUtf8(request.user)) return "the user name is not UTF-8 text";
    if (request.password.view().find('\0') != std::string_view::npos) return "bad password";
    if (!isUtf8(request.password.view())) return "the password is not UTF-8 text";
    return {};
}

std::optional<LinkRequest> parseRequest(const char* data, std::size_t size, std::string* why) {
    if (size > MaxRequestBytes) return refuse(why, "the request is too long");
    const std::string_view text(data, size);
    if (text.find('\0') != std::string_view::npos) return refuse(why, "NUL in the request");
    if (text.empty() || text.back() != '\n') return refuse(why, "the request is cut short");

    std::vector<std::pair<std::string_view, std::string>> fields;
    fields.reserve(MaxLines); // never moved: a move would leave short values behind unwiped
    // Every value taken, or left over, is wiped where it stood: one of them is the password.
    struct WipeFields {
        std::vector<std::pair<std::string_view, std::string>>& fields;
        ~WipeFields() {
            for (auto& field : fields)
                wipeString(field.second);
        }
    } wipeFields{fields};
    std::size_t start = 0;
    bool header = true;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (header) {
            if (line != Header) return refuse(why, "not a request");
            header = false;
            continue;
        }
        if (fields.size() == MaxLines) return refuse(why, "too many lines");
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) return refuse(why, "not key=value");
        const std::string_view key = line.substr(0, equals);
        for (const auto& field : fields)
            if (field.first == key) return refuse(why, "a key given twice");
        auto value = unescape(line.substr(equals + 1));
        if (!value) return refuse(why, "a badly escaped value");
        fields.emplace_back(key, std::move(*value));
        wipeString(*value);
    }

    LinkRequest request;
    const auto take = [&](std::string_view key) -> std::optional<std::string> {
        for (auto it = fields.begin(); it != fields.end(); ++it)
            if (it->first == key) {
                // Taken where it stands (no erase, which would move the values after it).
                std::string value = std::move(it->second);
                wipeString(it->second);
                it->first = {};
                return value;
            }
        return std::nullopt;
    };
    const auto action = take("action");
    const auto entry = take("entry");
    if (!action || !entry) return refuse(why, "no action or entry");
    request.entry = *entry;
    if (*action == "hangup") {
        request.action = RequestAction::HangUp;
    } else if (*action == "dial") {
        const auto server = take(ras::szLocalPhoneNumber.name);
        const auto user = take("user");
        auto password = take("password");
        if (!server || !user || !password) {
            if (password) wipeString(*password);
            return refuse(why, "a dial field is missing");
        }
        request.server = *server;
        request.user = *user;
        const bool fits = request.password.assign(*password);
        wipeString(*password);
        if (!fits) return refuse(why, "bad password");
        struct Number {
            const char* key;
            std::uint32_t* target;
            bool flags;
        };
        for (const Number& number :
             {Number{ras::dwfOptions.name, &request.options, true},
              Number{ras::dwfOptions2.name, &request.options2, true},
              Number{ras::dwfNetProtocols.name, &request.protocols, true},
              Number{ras::dwEncryptionType.name, &request.encryption, false},
              Number{ras::dwType.name, &request.type, false},
              Number{ras::dwRedialCount.name, &request.redialCount, false},
              Number{ras::dwRedialPause.name, &request.redialPause, false}}) {
            const auto text = take(number.key);
            const auto value = !text          ? std::nullopt
                               : number.flags ? parseFlags(*text)
                                              : parseDecimal(*text);
            if (!value) return refuse(why, std::string("bad or missing ") + number.key);
            *number.target = *value;
        }
    } else {
        return refuse(why, "unknown action");
    }
    for (const auto& field : fields)
        if (!field.first.empty()) return refuse(why, "unknown key " + std::string(field.first));
    const std::string problem = requestProblem(request);
    if (!problem.empty()) return refuse(why, problem);
    return request;
}

} // namespace rasdial

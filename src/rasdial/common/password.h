#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A password in one buffer of its own: fixed in size (no reallocation leaves a copy behind),
// never copied (a move takes the bytes over and wipes where they were), wiped when it goes or
// when the dial no longer needs it. The only other copies are the ones something outside takes,
// each wiped as soon as it is handed on: the request on the helper's pipe, the file pppd reads,
// NetworkManager's answer from the secret agent (D-Bus's own, not ours to wipe).
namespace rasdial {

class Password {
public:
    static constexpr std::size_t Capacity = 255; // what pppd keeps of a secret

    Password() = default;
    // The text, cut at Capacity bytes (assign() says whether it fitted).
    Password(std::string_view text) { assign(text); }
    Password(const char* text) : Password(std::string_view(text)) {}
    Password(const std::string& text) : Password(std::string_view(text)) {}
    ~Password() { wipe(); }
    Password(const Password&) = delete;
    Password& operator=(const Password&) = delete;
    Password(Password&& other) noexcept;
    Password& operator=(Password&& other) noexcept;

    // False (and nothing kept) when the text is longer than Capacity.
    bool assign(std::string_view text);
    // False when full.
    bool push_back(char c);
    void pop_back();
    void wipe();

    std::string_view view() const { return {bytes_, size_}; }
    const char* c_str() const { return bytes_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    friend bool operator==(const Password& a, const Password& b) { return a.view() == b.view(); }

private:
    char bytes_[Capacity + 1] = {};
    std::size_t size_ = 0;
};

// Overwrites a string's whole buffer (what a move or a clear leaves behind as well).
void wipeString(std::string& text);

} // namespace rasdial

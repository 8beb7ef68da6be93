#include "password.h"

#include <cstring>

namespace rasdial {

namespace {

// Through a volatile pointer, so that no compiler drops the stores as dead (the bytes are
// about to be freed or reused).
void wipeBytes(void* bytes, std::size_t size) {
    auto* at = static_cast<volatile unsigned char*>(bytes);
    while (size--)
        *at++ = 0;
}

} // namespace

Password::Password(Password&& other) noexcept {
    assign(other.view());
    other.wipe();
}

Password& Password::operator=(Password&& other) noexcept {
    if (this != &other) {
        assign(other.view());
        other.wipe();
    }
    return *this;
}

bool Password::assign(std::string_view text) {
    wipe();
    if (text.size() > Capacity) return false;
    std::memcpy(bytes_, text.data(), text.size());
    size_ = text.size();
    bytes_[size_] = '\0';
    return true;
}

bool Password::push_back(char c) {
    if (size_ == Capacity) return false;
    bytes_[size_++] = c;
    bytes_[size_] = '\0';
    return true;
}

void Password::pop_back() {
    if (size_) bytes_[--size_] = '\0';
}

void Password::wipe() {
    wipeBytes(bytes_, sizeof bytes_);
    size_ = 0;
}

void wipeString(std::string& text) {
    // capacity() bytes and the terminator: the local buffer of a short string as well.
    wipeBytes(text.data(), text.capacity());
    text.clear();
}

} // namespace rasdial

#include "standinrecords.h"

#include <windows.h>

namespace standin {

std::wstring environment(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
    if (length == 0 || length >= 32768) return {};
    return std::wstring(buffer, length);
}

std::wstring recordsFolder() {
    std::wstring folder = environment(RecordsVariable);
    if (folder.empty()) {
        std::wstring data = environment(L"ProgramData");
        if (data.empty()) data = L"C:\\ProgramData";
        folder = data + L"\\MiravonRasStandin";
    }
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder;
}

bool makeFolder(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return attributes & FILE_ATTRIBUTE_DIRECTORY;
    const std::size_t slash = folder.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0 && folder[slash - 1] != L':' &&
        !makeFolder(folder.substr(0, slash)))
        return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring inFolder(const std::wstring& folder, const wchar_t* name) {
    return folder + L'\\' + name;
}

namespace {

bool writeAll(HANDLE file, const void* data, std::size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 1u << 20 ? 1u << 20 : DWORD(size);
        if (!WriteFile(file, at, chunk, &written, nullptr) || written == 0) return false;
        at += written;
        size -= written;
    }
    return true;
}

} // namespace

bool writeFile(const std::wstring& path, const void* data, std::size_t size) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = writeAll(file, data, size);
    return CloseHandle(file) && ok;
}

bool appendLine(const std::wstring& path, const std::string& line) {
    const HANDLE file =
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::string text = line + "\r\n";
    const bool ok = writeAll(file, text.data(), text.size());
    return CloseHandle(file) && ok;
}

ReadOutcome readFile(const std::wstring& path, std::size_t limit, std::string* bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadOutcome::Missing
                                                                              : ReadOutcome::Failed;
    }
    bytes->clear();
    ReadOutcome outcome = ReadOutcome::Read;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            outcome = ReadOutcome::Failed;
            break;
        }
        if (got == 0) break;
        if (bytes->size() + got > limit) {
            outcome = ReadOutcome::Failed;
            break;
        }
        bytes->append(buffer, got);
    }
    CloseHandle(file);
    return outcome;
}

std::string hex(const void* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    const unsigned char* at = static_cast<const unsigned char*>(data);
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[at[i] >> 4];
        text += digits[at[i] & 15];
    }
    return text;
}

std::string narrow(const std::wstring& text, unsigned codePage) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), &bytes[0], size, nullptr,
                            nullptr);
    return bytes;
}

std::wstring widen(const std::string& bytes, unsigned codePage) {
    if (bytes.empty()) return {};
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring text(std::size_t(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), &text[0], size);
    return text;
}

} // namespace standin

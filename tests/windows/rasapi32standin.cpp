// A stand-in for the two calls of the system's rasapi32.dll through which the connector writes
// its phonebook entry and credentials: instead of keeping them, it records what it is given
// (standinrecords.h). For the tests under Wine only, loaded in place of Wine's own
// (WINEDLLOVERRIDES="rasapi32=n" with this DLL beside the program).
//
//   MIRAVON_RAS_FAIL=entry        RasSetEntryPropertiesA fails with 621, writing nothing
//   MIRAVON_RAS_FAIL=credentials  RasSetCredentialsA fails with 621, writing nothing
#include "standinrecords.h"

#include "platform/raslayout.h"

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstring>
#include <string>

static_assert(sizeof(RASCREDENTIALSA) == ras::CredentialsSize, "RASCREDENTIALSA is 540 bytes");

namespace {

std::string textOrNull(const char* text) {
    return text ? standin::hex(text, std::strlen(text)) : std::string("NULL");
}

bool failing(const wchar_t* call) {
    return standin::environment(L"MIRAVON_RAS_FAIL") == call;
}

// Records the line of a call in calls.log and gives back its result.
DWORD logged(const std::wstring& folder, const std::string& line, DWORD result) {
    if (standin::makeFolder(folder))
        standin::appendLine(standin::inFolder(folder, standin::CallsFile),
                            line + " -> " + std::to_string(result));
    return result;
}

} // namespace

DWORD WINAPI RasSetEntryPropertiesA(LPCSTR phonebook, LPCSTR entryName, LPRASENTRYA entry,
                                    DWORD entrySize, LPBYTE deviceInfo, DWORD deviceInfoSize) {
    const std::wstring folder = standin::recordsFolder();
    const std::string line =
        "RasSetEntryPropertiesA phonebook=" + textOrNull(phonebook) +
        " name=" + textOrNull(entryName) + " size=" + std::to_string(entrySize) + " devinfo=" +
        (deviceInfo ? standin::hex(deviceInfo, deviceInfoSize) : std::string("NULL")) + "/" +
        std::to_string(deviceInfoSize);

    if (!entryName || !*entryName) return logged(folder, line, ERROR_INVALID_NAME);
    // The Windows XP record is the smallest the system takes; dwSize must fit in what is passed.
    if (!entry || entrySize < DWORD(ras::EntrySize) || entry->dwSize < DWORD(ras::EntrySize) ||
        entry->dwSize > entrySize)
        return logged(folder, line, ERROR_INVALID_SIZE);
    if (failing(L"entry")) return logged(folder, line, ERROR_CANNOT_OPEN_PHONEBOOK);
    const bool written =
        standin::makeFolder(folder) &&
        standin::writeFile(standin::inFolder(folder, standin::EntryRecordFile), entry, entrySize) &&
        standin::writeFile(standin::inFolder(folder, standin::EntryNameFile), entryName,
                           std::strlen(entryName));
    return logged(folder, line, written ? ERROR_SUCCESS : ERROR_CANNOT_OPEN_PHONEBOOK);
}

DWORD WINAPI RasSetCredentialsA(LPCSTR phonebook, LPCSTR entryName, LPRASCREDENTIALSA credentials,
                                WINBOOL clearCredentials) {
    const std::wstring folder = standin::recordsFolder();
    const std::string line =
        "RasSetCredentialsA phonebook=" + textOrNull(phonebook) + " name=" + textOrNull(entryName) +
        " size=" + (credentials ? std::to_string(credentials->dwSize) : std::string("NULL")) +
        " clear=" + std::to_string(clearCredentials ? 1 : 0);

    if (!entryName || !*entryName) return logged(folder, line, ERROR_INVALID_NAME);
    if (!credentials || credentials->dwSize != DWORD(ras::CredentialsSize))
        return logged(folder, line, ERROR_INVALID_SIZE);
    if (failing(L"credentials")) return logged(folder, line, ERROR_CANNOT_OPEN_PHONEBOOK);
    const bool written = standin::makeFolder(folder) &&
                         standin::writeFile(standin::inFolder(folder, standin::CredentialsFile),
                                            credentials, ras::CredentialsSize);
    return logged(folder, line, written ? ERROR_SUCCESS : ERROR_CANNOT_OPEN_PHONEBOOK);
}

// Calls the remote-access functions the connector uses, through mingw-w64's import library of
// rasapi32, and checks what the stand-in rasapi32.dll records of them. For the tests under Wine,
// with the stand-in beside this program and WINEDLLOVERRIDES="rasapi32=n".
//
//   ras-caller check FOLDER         the stand-in's records and results, byte for byte, in FOLDER
//                                   (its four files are removed first); "ok" and 0 when all hold
//   ras-caller write SERVER [USER]  writes the connector's entry for SERVER and its credentials
//                                   as the connector does, into MIRAVON_RAS_RECORDS's folder
#include "standinrecords.h"

#include "platform/raslayout.h"

#include <windows.h>

#include <ras.h>
#include <raserror.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// "MiravonVPN网络连接器" in code page 936, as the connector hands it over under a Chinese locale.
const char EntryName[] = "MiravonVPN\xcd\xf8\xc2\xe7\xc1\xac\xbd\xd3\xc6\xf7";
const char EntryNameHex[] = "4d697261766f6e56504ecdf8c2e7c1acbdd3c6f7";

using Bytes = std::vector<unsigned char>;

void put(Bytes& record, const ras::Field& field, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        record[std::size_t(field.offset + i)] = (unsigned char)(value >> (8 * i));
}

void put(Bytes& record, const ras::Field& field, const std::string& text) {
    std::memcpy(record.data() + field.offset, text.data(),
                text.size() < std::size_t(field.size) ? text.size() : std::size_t(field.size - 1));
}

// Every byte set, so that a byte lost or moved shows.
Bytes patterned(std::size_t size, std::uint32_t dwSize, unsigned seed) {
    Bytes record(size);
    for (std::size_t i = 0; i < size; ++i)
        record[i] = (unsigned char)(i * 7 + seed);
    put(record, ras::dwSize, dwSize);
    return record;
}

std::string recorded(const wchar_t* file) {
    std::string bytes;
    const auto outcome =
        standin::readFile(standin::inFolder(standin::recordsFolder(), file), 1 << 20, &bytes);
    return outcome == standin::ReadOutcome::Read ? bytes : std::string("(missing)");
}

std::string asText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

int failures = 0;

void expect(bool holds, const char* what) {
    std::printf("%s %s\n", holds ? "PASS" : "FAIL", what);
    if (!holds) ++failures;
}

DWORD setEntry(Bytes* record, DWORD size) {
    return RasSetEntryPropertiesA(nullptr, EntryName,
                                  record ? reinterpret_cast<LPRASENTRYA>(record->data()) : nullptr,
                                  size, nullptr, 0);
}

DWORD setCredentials(Bytes* record) {
    return RasSetCredentialsA(
        nullptr, EntryName, record ? reinterpret_cast<LPRASCREDENTIALSA>(record->data()) : nullptr,
        FALSE);
}

int check(const std::wstring& folder) {
    SetEnvironmentVariableW(standin::RecordsVariable, folder.c_str());
    SetEnvironmentVariableW(L"MIRAVON_RAS_FAIL", nullptr);
    for (const wchar_t* file : {standin::EntryRecordFile, standin::EntryNameFile,
                                standin::CredentialsFile, standin::CallsFile})
        DeleteFileW(standin::inFolder(folder, file).c_str());
    RemoveDirectoryW(folder.c_str()); // so that the stand-in has to make it again

    wchar_t module[MAX_PATH] = L"(not loaded)";
    GetModuleFileNameW(GetModuleHandleW(L"rasapi32.dll"), module, MAX_PATH);
    std::printf("rasapi32: %s\n", standin::narrow(module, CP_UTF8).c_str());

    Bytes entry = patterned(ras::EntrySize, ras::EntrySize, 1);
    Bytes credentials = patterned(ras::CredentialsSize, ras::CredentialsSize, 2);
    expect(setEntry(&entry, ras::EntrySize) == 0, "RasSetEntryPropertiesA returns 0");
    expect(recorded(standin::EntryRecordFile) == asText(entry), "entry.rec holds the record");
    expect(recorded(standin::EntryNameFile) == EntryName, "entry.name holds the ANSI name");
    expect(setCredentials(&credentials) == 0, "RasSetCredentialsA returns 0");
    expect(recorded(standin::CredentialsFile) == asText(credentials),
           "credentials.rec holds the record");

    Bytes shortEntry = patterned(ras::EntrySize, ras::EntrySize - 4, 3);
    Bytes shortCredentials = patterned(ras::CredentialsSize, ras::CredentialsSize - 2, 4);
    expect(setEntry(nullptr, ras::EntrySize) == ERROR_INVALID_SIZE, "no entry record: 632");
    expect(setEntry(&shortEntry, ras::EntrySize - 4) == ERROR_INVALID_SIZE, "short entry: 632");
    expect(setEntry(&shortEntry, ras::EntrySize) == ERROR_INVALID_SIZE, "short dwSize: 632");
    expect(setCredentials(nullptr) == ERROR_INVALID_SIZE, "no credentials record: 632");
    expect(setCredentials(&shortCredentials) == ERROR_INVALID_SIZE, "short credentials: 632");

    Bytes otherEntry = patterned(ras::EntrySize, ras::EntrySize, 5);
    Bytes otherCredentials = patterned(ras::CredentialsSize, ras::CredentialsSize, 6);
    SetEnvironmentVariableW(L"MIRAVON_RAS_FAIL", L"entry");
    expect(setEntry(&otherEntry, ras::EntrySize) == ERROR_CANNOT_OPEN_PHONEBOOK,
           "MIRAVON_RAS_FAIL=entry: 621");
    expect(setCredentials(&otherCredentials) == 0, "MIRAVON_RAS_FAIL=entry: credentials 0");
    SetEnvironmentVariableW(L"MIRAVON_RAS_FAIL", L"credentials");
    expect(setCredentials(&credentials) == ERROR_CANNOT_OPEN_PHONEBOOK,
           "MIRAVON_RAS_FAIL=credentials: 621");
    SetEnvironmentVariableW(L"MIRAVON_RAS_FAIL", nullptr);
    expect(recorded(standin::EntryRecordFile) == asText(entry), "a failed call writes no entry");
    expect(recorded(standin::CredentialsFile) == asText(otherCredentials),
           "a failed call writes no credentials");

    const std::string name = std::string(" name=") + EntryNameHex;
    const std::string entryCall = "RasSetEntryPropertiesA phonebook=NULL" + name;
    const std::string credentialsCall = "RasSetCredentialsA phonebook=NULL" + name;
    std::string log;
    for (const std::string& line :
         {entryCall + " size=2884 devinfo=NULL/0 -> 0", credentialsCall + " size=540 clear=0 -> 0",
          entryCall + " size=2884 devinfo=NULL/0 -> 632",
          entryCall + " size=2880 devinfo=NULL/0 -> 632",
          entryCall + " size=2884 devinfo=NULL/0 -> 632",
          credentialsCall + " size=NULL clear=0 -> 632",
          credentialsCall + " size=538 clear=0 -> 632",
          entryCall + " size=2884 devinfo=NULL/0 -> 621",
          credentialsCall + " size=540 clear=0 -> 0", credentialsCall + " size=540 clear=0 -> 621"})
        log += line + "\r\n";
    const std::string logged = recorded(standin::CallsFile);
    expect(logged == log, "calls.log has a line for each call");
    if (logged != log) std::printf("calls.log:\n%s\n", logged.c_str());

    std::printf(failures ? "%d failed\n" : "ok\n", failures);
    return failures ? 1 : 0;
}

// The connector's entry and empty credentials, with the values it sets.
int write(const std::string& server, const std::string& user) {
    Bytes entry(ras::EntrySize);
    put(entry, ras::dwSize, ras::EntrySize);
    put(entry, ras::dwfOptions, 0x3D0D0310);
    put(entry, ras::dwCountryID, 86);
    put(entry, ras::dwCountryCode, 86);
    put(entry, ras::dwfNetProtocols, RASNP_Ip);
    put(entry, ras::dwFramingProtocol, 1);
    put(entry, ras::dwDialMode, 1);
    put(entry, ras::dwDialExtraPercent, 75);
    put(entry, ras::dwDialExtraSampleSeconds, 120);
    put(entry, ras::dwHangUpExtraPercent, 10);
    put(entry, ras::dwHangUpExtraSampleSeconds, 120);
    put(entry, ras::dwType, RASET_Vpn);
    put(entry, ras::dwEncryptionType, ET_Optional);
    put(entry, ras::dwfOptions2, 0x16F);
    put(entry, ras::dwRedialCount, 3);
    put(entry, ras::dwRedialPause, 60);
    put(entry, ras::szDeviceType, "vpn");
    put(entry, ras::szDeviceName, "WAN \xce\xa2\xd0\xcd\xb6\xcb\xbf\xda (PPTP)");
    put(entry, ras::szLocalPhoneNumber, server);
    Bytes credentials(ras::CredentialsSize);
    put(credentials, ras::credentials::dwSize, ras::CredentialsSize);
    put(credentials, ras::credentials::dwMask, 0xB);
    put(credentials, ras::credentials::szUserName, user);
    const DWORD entryResult = setEntry(&entry, ras::EntrySize);
    const DWORD credentialsResult = setCredentials(&credentials);
    std::printf("RasSetEntryPropertiesA -> %lu\nRasSetCredentialsA -> %lu\n", entryResult,
                credentialsResult);
    return entryResult || credentialsResult ? 1 : 0;
}

} // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments && count == 3 && std::wstring(arguments[1]) == L"check")
        return check(arguments[2]);
    if (arguments && (count == 3 || count == 4) && std::wstring(arguments[1]) == L"write")
        return write(standin::narrow(arguments[2], CP_ACP),
                     count == 4 ? standin::narrow(arguments[3], CP_ACP) : std::string());
    std::fprintf(stderr, "usage: ras-caller check FOLDER | ras-caller write SERVER [USER]\n");
    return 2;
}

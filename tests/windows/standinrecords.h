#pragma once

#include <cstddef>
#include <string>

// Where the test stand-ins of the system's remote-access parts keep what they were given: the
// stand-in rasapi32.dll writes the phonebook entry and the credentials there, the stand-in
// rasdial.exe reads the entry back. The folder is MIRAVON_RAS_RECORDS (a Windows path), or
// %ProgramData%\MiravonRasStandin when that is unset; it is made when missing.
//
//   entry.rec        the RASENTRYA record, its dwEntryInfoSize bytes exactly as passed
//   entry.name       the entry's name, its ANSI bytes as passed, no NUL
//   credentials.rec  the RASCREDENTIALSA record, 540 bytes exactly as passed
//   calls.log        one line per call, CRLF at its end, for instance
//     RasSetEntryPropertiesA phonebook=NULL name=4d69...c6f7 size=2884 devinfo=NULL/0 -> 0
//     RasSetCredentialsA phonebook=NULL name=4d69...c6f7 size=540 clear=0 -> 0
//   (texts as the hex of their ANSI bytes or NULL; size is dwEntryInfoSize for the entry, the
//   record's dwSize for the credentials; devinfo is the device data in hex or NULL, "/" and its
//   size; clear is fClearCredentials; after "->" the result)
namespace standin {

constexpr const wchar_t* RecordsVariable = L"MIRAVON_RAS_RECORDS";
constexpr const wchar_t* EntryRecordFile = L"entry.rec";
constexpr const wchar_t* EntryNameFile = L"entry.name";
constexpr const wchar_t* CredentialsFile = L"credentials.rec";
constexpr const wchar_t* CallsFile = L"calls.log";

// The folder, without a trailing backslash.
std::wstring recordsFolder();
// The folder and its missing parents; false when it cannot be made.
bool makeFolder(const std::wstring& folder);
// folder + "\" + name
std::wstring inFolder(const std::wstring& folder, const wchar_t* name);

// Replaces the file's content.
bool writeFile(const std::wstring& path, const void* data, std::size_t size);
// Adds the line and a CRLF at the end of the file, which is made when missing.
bool appendLine(const std::wstring& path, const std::string& line);

enum class ReadOutcome { Read, Missing, Failed };
// At most `limit` bytes; a longer file is Failed.
ReadOutcome readFile(const std::wstring& path, std::size_t limit, std::string* bytes);

// An environment variable, empty when unset.
std::wstring environment(const wchar_t* name);

// Lowercase hex digits, two a byte.
std::string hex(const void* data, std::size_t size);

// Between UTF-16 and the bytes of a code page (CP_UTF8, CP_ACP, ...).
std::string narrow(const std::wstring& text, unsigned codePage);
std::wstring widen(const std::string& bytes, unsigned codePage);

} // namespace standin

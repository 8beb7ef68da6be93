// The platform on Windows, as the connector was made for it: rasapi32 writes the phonebook
// entry, programs start through CreateProcess with the show state asked for, the registry is
// the real one and the window sweep goes through user32.
#include "platform/ansi.h"
#include "platform/commandline.h"
#include "platform/systemplatform.h"
#include "platform/windows/toplevelwindows.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <ras.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

QString existing(const QString& path) {
    return QFileInfo(path).isFile() ? QDir::toNativeSeparators(path) : QString();
}

// The program a command line names, found as the system would find it, less the current folder
// (where a download could have left a program of the same name): the connector's own folder,
// the system folder, the Windows folder, then the search path.
QString findProgram(QString name) {
    if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".exe");
    if (name.contains(u'\\') || name.contains(u'/')) return existing(name);
    wchar_t folder[MAX_PATH];
    QStringList places{QCoreApplication::applicationDirPath()};
    if (UINT n = GetSystemDirectoryW(folder, MAX_PATH); n && n < MAX_PATH)
        places << QString::fromWCharArray(folder, int(n));
    if (UINT n = GetWindowsDirectoryW(folder, MAX_PATH); n && n < MAX_PATH)
        places << QString::fromWCharArray(folder, int(n));
    places << qEnvironmentVariable("PATH").split(u';', Qt::SkipEmptyParts);
    for (const QString& place : places)
        if (const QString found = existing(place + u'/' + name); !found.isEmpty()) return found;
    return {};
}

// A record as the remote-access functions take it: their own aligned, writable copy.
template <typename Record> std::vector<Record> recordCopy(const QByteArray& bytes) {
    std::vector<Record> copy(std::size_t(bytes.size()) / sizeof(Record) + 1);
    std::memcpy(copy.data(), bytes.constData(), std::size_t(bytes.size()));
    return copy;
}

// Remote access is loaded when an entry is first written, not at every start: rasapi32 brings
// a good part of Windows' networking libraries with it. Only the system folder's copy is
// taken. Without the library or the function, the call fails as a refused write would.
template <typename Function> Function* rasFunction(const char* name) {
    static const HMODULE ras =
        LoadLibraryExW(L"rasapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return ras ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(ras, name)))
               : nullptr;
}

class WindowsPlatform final : public SystemPlatform {
public:
    // The command line goes to the program as it is (its own rules split it); the program is
    // the one its first word names, never a shell.
    bool launch(const QString& commandLine, int showState) override {
        const QStringList words = splitCommandLine(commandLine);
        const QString program = words.isEmpty() ? QString() : findProgram(words.first());
        if (program.isEmpty()) return false;
        std::wstring line = wide(commandLine);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = WORD(showState);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(wide(program).c_str(), line.data(), nullptr, nullptr, FALSE,
                            CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process))
            return false;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }

    // Into the user's default phonebook (no phonebook path), the entry's name in ANSI.
    bool setEntryProperties(const QString& entryName, const QByteArray& rasEntry) override {
        const auto set = rasFunction<decltype(RasSetEntryPropertiesA)>("RasSetEntryPropertiesA");
        if (!set) return false;
        auto record = recordCopy<RASENTRYA>(rasEntry);
        return set(nullptr, toAnsi(entryName).constData(), record.data(), DWORD(rasEntry.size()),
                   nullptr, 0) == 0;
    }

    bool setCredentials(const QString& entryName, const QByteArray& rasCredentials) override {
        const auto set = rasFunction<decltype(RasSetCredentialsA)>("RasSetCredentialsA");
        if (!set) return false;
        auto record = recordCopy<RASCREDENTIALSA>(rasCredentials);
        return set(nullptr, toAnsi(entryName).constData(), record.data(), FALSE) == 0;
    }

    void closeWindowsTitled(const QString& title) override {
        Win32TopLevelWindows windows;
        ::closeWindowsTitled(windows, title);
    }
};

} // namespace

std::unique_ptr<Platform> createPlatform() {
    return std::make_unique<WindowsPlatform>();
}

#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <stdexcept>

// Everything the connector needs of the operating system, behind one interface so that the
// window logic runs the same on every system and tests can answer for the desktop.
class Platform {
public:
    virtual ~Platform() = default;

    // A modal message box. Style numbers: 0 OK, 1 OK and Cancel, 32 OK with a question icon,
    // 33 OK and Cancel with a question icon. Returns the pressed button: 1 OK, 2 Cancel.
    virtual int messageBox(const QString& text, const QString& title, int style) = 0;

    // Starts a command line as a separate process without waiting for it. Show state 0 is a
    // hidden window, 2 a minimised one. False when the program could not be started.
    virtual bool launch(const QString& commandLine, int showState) = 0;

    // One value of the registry, addressed by a path whose last part names the value
    // ("HKEY_CURRENT_USER\Software\...\Main\Start page"). Nothing when it does not exist.
    virtual std::optional<QString> regRead(const QString& path) = 0;
    // Writes a value; only the type "REG_SZ" (text) is known. False when it was not written.
    virtual bool regWrite(const QString& path, const QString& data, const QString& type) = 0;

    // The remote-access service's two writes (RasSetEntryProperties, RasSetCredentials) into
    // the user's default phonebook: a RASENTRY record (ANSI form, XP layout) creates or
    // replaces the entry; a RASCREDENTIALS record sets its stored credentials. False when the
    // record was not written.
    virtual bool setEntryProperties(const QString& entryName, const QByteArray& rasEntry) = 0;
    virtual bool setCredentials(const QString& entryName, const QByteArray& rasCredentials) = 0;

    // Asks every top-level window of the desktop whose title is exactly `title` to close, and
    // returns without waiting for them. Does nothing where there are no such windows to see.
    virtual void closeWindowsTitled(const QString& title) = 0;

    // Ends the process at once, with no further handler running. Does not return on a real
    // system.
    virtual void endProgram(int status) = 0;
};

// Raised by a platform operation that the operating system could not carry out.
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The implementation for the system this build runs on.
std::unique_ptr<Platform> createPlatform();

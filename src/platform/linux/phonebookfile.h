#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// The per-user dial-up phonebook on Linux, kept in the manner of Windows' rasphone.pbk: an
// INI file in UTF-8, one section per entry named as the entry is written, one key per field of
// the entry's record. The connector writes it; the dial tool reads it.
//
//   [MiravonVPN网络连接器]
//   dwSize=2884
//   dwfOptions=0x3D0D0310
//   szLocalPhoneNumber=10.0.0.1
//   ...
//   Credentials.szUserName=
//
// Values are stored with "\\", "\n", "\r" and "\t" escaped, so that any text keeps to one line.
namespace phonebook {

struct Entry {
    QString name;
    QList<QPair<QString, QString>> values; // key, value; in file order

    QString value(const QString& key) const; // empty when absent
    bool has(const QString& key) const;
    void set(const QString& key, const QString& value); // replaces or appends
};

struct Book {
    QList<Entry> entries;

    const Entry* find(const QString& name) const;
    Entry& findOrAdd(const QString& name);
};

// A phonebook file is never read past this size: a larger one counts as damaged.
constexpr qint64 MaxFileBytes = 1 << 20;

// The text of a file in the format above; nothing when it is not in that format (a line that
// is neither a section, a key, a comment nor blank; a key before the first section; bytes that
// are not UTF-8; more than MaxFileBytes).
std::optional<Book> parse(const QByteArray& bytes);
QByteArray serialize(const Book& book);

// $XDG_CONFIG_HOME/MiravonVPN/rasphone.pbk (~/.config/... when unset).
QString defaultPath();

enum class ReadStatus {
    Ok,         // read and parsed (also: the file does not exist yet, giving an empty book)
    Unreadable, // exists but cannot be read
    Damaged,    // read, but not in the format
};
struct ReadResult {
    ReadStatus status = ReadStatus::Ok;
    Book book;
};
ReadResult read(const QString& path);

// Writes the whole book atomically (a process killed meanwhile leaves the old file), mode 0600,
// creating the folder (mode 0700) when it is missing. False when nothing was written.
bool write(const QString& path, const Book& book);

// Moves a damaged file aside under a new name next to it, and returns that name (empty when it
// could not be moved).
QString keepAside(const QString& path);

} // namespace phonebook

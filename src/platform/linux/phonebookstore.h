#pragma once

#include <QByteArray>
#include <QString>

// The Linux stand-in for the remote-access service's two writes: the fields of a RASENTRY or
// RASCREDENTIALS record (ANSI, XP layout) become keys of the entry in the phonebook file at
// `path`. A record replaces what the entry held of that record; other entries stay.
// False when the record is malformed or the phonebook cannot be read or written; then the file
// is as it was. A file that cannot be parsed is moved aside (and said so on standard error) and
// a fresh one written.
bool storeEntryProperties(const QString& path, const QString& entryName, const QByteArray& record);
bool storeCredentials(const QString& path, const QString& entryName, const QByteArray& record);

// The prefix of the credentials' keys within an entry.
inline const QString CredentialsPrefix = QStringLiteral("Credentials.");

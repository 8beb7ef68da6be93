#include "phonebookstore.h"

#include "phonebookfile.h"
#include "platform/raslayout.h"

#include <QStringDecoder>
#include <QtEndian>
#include <cstdio>

namespace {

// A field's value as the record holds it: numbers in decimal, option bits in hexadecimal,
// texts up to their NUL, from the ANSI code page (GBK).
QString fieldText(const QByteArray& record, const ras::Field& field) {
    const char* at = record.constData() + field.offset;
    switch (field.kind) {
    case ras::FieldKind::Number:
        return QString::number(qFromLittleEndian<quint32>(at));
    case ras::FieldKind::Flags:
        return QStringLiteral("0x") + QString::number(qFromLittleEndian<quint32>(at), 16)
                                          .toUpper()
                                          .rightJustified(8, u'0');
    case ras::FieldKind::Text:
        break;
    }
    const QByteArray bytes(at, qstrnlen(at, field.size));
    return QStringDecoder("GBK").decode(bytes);
}

template <typename Fields>
bool store(const QString& path, const QString& entryName, const QByteArray& record, int size,
           const Fields& fields, const QString& prefix) {
    if (record.size() != size) return false;
    phonebook::ReadResult current = phonebook::read(path);
    if (current.status == phonebook::ReadStatus::Unreadable) return false;
    if (current.status == phonebook::ReadStatus::Damaged) {
        const QString aside = phonebook::keepAside(path);
        if (aside.isEmpty()) return false;
        std::fprintf(stderr, "miravon-vpn: the phonebook %s could not be read; kept as %s\n",
                     qPrintable(path), qPrintable(aside));
    }
    phonebook::Entry& entry = current.book.findOrAdd(entryName);
    // The entry's own keys first, then the credentials; a record replaces its part whole.
    const bool credentials = !prefix.isEmpty();
    QList<QPair<QString, QString>> mine, others;
    for (const ras::Field& field : fields)
        mine.append({prefix + QLatin1String(field.name), fieldText(record, field)});
    for (const auto& pair : entry.values)
        if (pair.first.startsWith(CredentialsPrefix) != credentials) others.append(pair);
    entry.values = credentials ? others + mine : mine + others;
    return phonebook::write(path, current.book);
}

} // namespace

bool storeEntryProperties(const QString& path, const QString& entryName, const QByteArray& record) {
    return store(path, entryName, record, ras::EntrySize, ras::EntryFields, QString());
}

bool storeCredentials(const QString& path, const QString& entryName, const QByteArray& record) {
    return store(path, entryName, record, ras::CredentialsSize, ras::CredentialFields,
                 CredentialsPrefix);
}

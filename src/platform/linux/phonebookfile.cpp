#include "phonebookfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace phonebook {

namespace {

QString escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<QString> unescape(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i].unicode()) {
        case u'\\':
            out += u'\\';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        case u't':
            out += u'\t';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

QString Entry::value(const QString& key) const {
    for (const auto& [k, v] : values)
        if (k == key) return v;
    return QString();
}

bool Entry::has(const QString& key) const {
    for (const auto& pair : values)
        if (pair.first == key) return true;
    return false;
}

void Entry::set(const QString& key, const QString& value) {
    for (auto& pair : values)
        if (pair.first == key) {
            pair.second = value;
            return;
        }
    values.append({key, value});
}

const Entry* Book::find(const QString& name) const {
    for (const Entry& entry : entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

Entry& Book::findOrAdd(const QString& name) {
    for (Entry& entry : entries)
        if (entry.name == name) return entry;
    entries.append(Entry{name, {}});
    return entries.last();
}

std::optional<Book> parse(const QByteArray& bytes) {
    if (bytes.size() > MaxFileBytes) return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) return std::nullopt;
    Book book;
    // Where each entry and each of its keys stand, so that a large file reads in linear time.
    QHash<QString, qsizetype> entryAt;
    QList<QHash<QString, qsizetype>> keyAt;
    qsizetype current = -1;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r')) line.chop(1);
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#')) continue;
        if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
            const auto name = unescape(trimmed.mid(1, trimmed.size() - 2));
            if (!name) return std::nullopt;
            current = entryAt.value(*name, book.entries.size());
            if (current == book.entries.size()) {
                entryAt.insert(*name, current);
                book.entries.append(Entry{*name, {}});
                keyAt.append(QHash<QString, qsizetype>());
            }
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (current < 0 || equals <= 0) return std::nullopt;
        const QString key = line.left(equals).trimmed().toString();
        const auto value = unescape(line.mid(equals + 1));
        if (key.isEmpty() || !value) return std::nullopt;
        auto& values = book.entries[current].values;
        const qsizetype at = keyAt[current].value(key, values.size());
        if (at == values.size()) {
            keyAt[current].insert(key, at);
            values.append({key, *value});
        } else {
            values[at].second = *value;
        }
    }
    return book;
}

QByteArray serialize(const Book& book) {
    QString text = QStringLiteral(
        "; Dial-up phonebook of MiravonVPN网络连接器: one section per entry, one key per field.\n");
    for (const Entry& entry : book.entries) {
        text += u'\n' + (u'[' + escape(entry.name) + u']') + u'\n';
        for (const auto& [key, value] : entry.values)
            text += key + u'=' + escape(value) + u'\n';
    }
    return text.toUtf8();
}

QString defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/MiravonVPN/rasphone.pbk");
}

ReadResult read(const QString& path) {
    QFile file(path);
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly)) return {ReadStatus::Unreadable, {}};
    // One byte past the limit is enough to know the file is too large.
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) return {ReadStatus::Unreadable, {}};
    auto book = parse(bytes);
    if (!book) return {ReadStatus::Damaged, {}};
    return {ReadStatus::Ok, std::move(*book)};
}

bool write(const QString& path, const Book& book) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) return false;
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    // The password fields may hold secrets one day: only the owner reads the file.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return false;
    }
    const QByteArray bytes = serialize(book);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString keepAside(const QString& path) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    return QFile::rename(path, aside) ? aside : QString();
}

} // namespace phonebook

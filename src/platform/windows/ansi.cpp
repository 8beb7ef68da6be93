// Windows' own conversions: the system's ANSI code page for the "A" functions and their
// records, code page 54936 (GB18030, which holds GBK) or 936 (GBK) for Chinese web pages. Qt on Windows has codecs other than UTF
// and Latin-1 only through ICU, which this build leaves out.
#include "platform/ansi.h"

#include <windows.h>

#include <limits>

namespace {

QByteArray encode(UINT codePage, const QString& text) {
    if (text.isEmpty() || text.size() > std::numeric_limits<int>::max() / 4) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = WideCharToMultiByte(codePage, 0, wide, int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    QByteArray bytes(length, '\0');
    WideCharToMultiByte(codePage, 0, wide, int(text.size()), bytes.data(), length, nullptr,
                        nullptr);
    return bytes;
}

QString decode(UINT codePage, const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    const int length =
        MultiByteToWideChar(codePage, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes.constData(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

// GB18030, which holds GBK and GB2312, as browsers read the Chinese labels; plain GBK where the
// system does not know it.
UINT chineseCodePage() {
    static const UINT codePage = IsValidCodePage(54936) ? 54936 : 936;
    return codePage;
}

// One character of a Chinese charset at `at`: its length in bytes, 0 when it is not one.
int chineseCharacter(UINT codePage, const QByteArray& bytes, qsizetype at, QString* into) {
    wchar_t wide[2];
    for (const int length : {2, 4}) {
        if (at + length > bytes.size() || (length == 4 && codePage != 54936)) break;
        const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.constData() + at,
                                          length, wide, 2);
        if (n > 0) {
            into->append(QString::fromWCharArray(wide, n));
            return length;
        }
    }
    return 0;
}

} // namespace

QByteArray toAnsi(const QString& text) {
    return encode(CP_ACP, text);
}

QString fromAnsi(const QByteArray& bytes) {
    return decode(CP_ACP, bytes);
}

// Character by character, so that a byte that starts no character becomes U+FFFD and the byte
// after it is read afresh, as browsers (and Qt's decoders elsewhere) do; the system's own
// conversion of a whole text would swallow that byte (an ASCII letter or a line end) too.
QString decodeChinese(const QByteArray& bytes) {
    const UINT codePage = chineseCodePage();
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte < 0x80) {
            text.append(QChar(byte));
            ++at;
        } else if (const int length = chineseCharacter(codePage, bytes, at, &text)) {
            at += length;
        } else {
            text.append(QChar::ReplacementCharacter);
            ++at;
        }
    }
    return text;
}

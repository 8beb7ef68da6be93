// Windows' own conversions: the system's ANSI code page for the "A" functions and their
// records, code page 936 (GBK) for Chinese web pages. Qt on Windows has codecs other than UTF
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

constexpr UINT Gbk = 936;

} // namespace

QByteArray toAnsi(const QString& text) {
    return encode(CP_ACP, text);
}

QString fromAnsi(const QByteArray& bytes) {
    return decode(CP_ACP, bytes);
}

QString decodeChinese(const QByteArray& bytes) {
    return decode(Gbk, bytes);
}

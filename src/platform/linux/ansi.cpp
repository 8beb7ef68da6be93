// The Simplified-Chinese systems' code page, GBK, as Qt's codecs (ICU) know it.
#include "platform/ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray toAnsi(const QString& text) {
    return QStringEncoder("GBK").encode(text);
}

QString fromAnsi(const QByteArray& bytes) {
    return QStringDecoder("GBK").decode(bytes);
}

// Browsers read all the Chinese labels as GB18030, which GBK and GB2312 are parts of.
QString decodeChinese(const QByteArray& bytes) {
    return QStringDecoder("GB18030").decode(bytes);
}

#include "textcodec.h"

#include "platform/ansi.h"

#include <QRegularExpression>
#include <QStringDecoder>

QByteArray charsetOf(const QByteArray& contentType) {
    static const QRegularExpression charset(QStringLiteral(R"(;\s*charset\s*=\s*"?([^";\s]+))"),
                                            QRegularExpression::CaseInsensitiveOption);
    return charset.match(QString::fromLatin1(contentType)).captured(1).toLatin1().toLower();
}

QString decodeHttpBody(const QByteArray& body, const QByteArray& contentType) {
    QByteArray name = charsetOf(contentType);
    static const QByteArrayList chinese = {"gb2312",     "gbk",       "x-gbk",
                                           "cp936",      "csgb2312",  "chinese",
                                           "gb_2312-80", "iso-ir-58", "gb18030"};
    if (chinese.contains(name)) return decodeChinese(body);
    if (!name.isEmpty()) {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid()) return decoder.decode(body);
    }
    return QString::fromUtf8(body);
}

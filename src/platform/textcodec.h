#pragma once

#include <QByteArray>
#include <QString>

// The charset named in a Content-Type header value ("text/html; charset=gb2312" gives
// "gb2312"); empty when it names none.
QByteArray charsetOf(const QByteArray& contentType);

// Decodes a body by the charset its Content-Type declares. The Chinese labels (gb2312, gbk,
// cp936 ...) all mean GB18030, as browsers read them; anything unknown or absent is UTF-8.
QString decodeHttpBody(const QByteArray& body, const QByteArray& contentType);

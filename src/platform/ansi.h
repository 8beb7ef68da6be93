#pragma once

#include <QByteArray>
#include <QString>

// Texts in the system's ANSI code page, as the remote-access records and the "A" functions of
// Windows take them: GBK (code page 936) on a Simplified-Chinese system. On Windows the code
// page is the system's own; elsewhere it is GBK, as on the systems the connector is made for.
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// A body in one of the Chinese national charsets (gb2312, gbk, gb18030 ...), decoded.
QString decodeChinese(const QByteArray& bytes);

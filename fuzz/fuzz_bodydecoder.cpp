// An answer's Content-Type header and body: the input's first line is the header.
#include "fuzzcheck.h"
#include "platform/textcodec.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n');
    const QByteArray contentType = lineEnd < 0 ? QByteArray() : input.left(lineEnd);
    const QByteArray body = lineEnd < 0 ? input : input.mid(lineEnd + 1);
    const QString text = decodeHttpBody(body, contentType);
    // Without a charset the body is UTF-8, each byte giving at most one character.
    if (charsetOf(contentType).isEmpty()) FUZZ_CHECK(text.size() <= body.size());
    return 0;
}

#pragma once

#include <QString>
#include <cstdio>
#include <cstdlib>

// Qt's warnings (a file name holding a NUL, say) are not findings, and printing them would only
// slow the run down.
inline const bool quietQt = [] {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return true;
}();

// Outside data as the parsers see it: the decoded body of an answer.
inline QString fuzzText(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A broken promise of a parser is a finding like a crash: report it and stop.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "broken promise: %s (%s:%d)\n", #condition, __FILE__, __LINE__);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

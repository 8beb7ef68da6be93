#include "commandline.h"

#include <QFileInfo>

QStringList splitCommandLine(const QString& commandLine) {
    QStringList arguments;
    const qsizetype n = commandLine.size();
    qsizetype i = 0;
    auto blank = [&](qsizetype at) { return commandLine[at] == u' ' || commandLine[at] == u'\t'; };
    // The program name: up to the next blank, or between quotes; backslashes are plain.
    while (i < n && blank(i))
        ++i;
    if (i == n) return arguments;
    QString current;
    if (commandLine[i] == u'"') {
        const qsizetype close = commandLine.indexOf(u'"', i + 1);
        const qsizetype end = close < 0 ? n : close;
        current = commandLine.mid(i + 1, end - i - 1);
        i = close < 0 ? n : close + 1;
    }
    while (i < n && !blank(i))
        current += commandLine[i++];
    arguments << current;

    // The arguments: 2k backslashes before a quote give k backslashes and the quote opens or
    // closes a quoted part; 2k + 1 give k backslashes and a plain quote; backslashes before
    // anything else stay as they are. Inside quotes, "" is a plain quote.
    for (;;) {
        while (i < n && blank(i))
            ++i;
        if (i == n) return arguments;
        current.clear();
        bool quoted = false;
        while (i < n && (quoted || !blank(i))) {
            const QChar c = commandLine[i];
            if (c == u'\\') {
                qsizetype slashes = 0;
                while (i < n && commandLine[i] == u'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && commandLine[i] == u'"') {
                    current += QString(slashes / 2, u'\\');
                    if (slashes % 2) {
                        current += u'"';
                        ++i;
                    }
                } else {
                    current += QString(slashes, u'\\');
                }
            } else if (c == u'"') {
                if (quoted && i + 1 < n && commandLine[i + 1] == u'"') {
                    current += u'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                current += c;
                ++i;
            }
        }
        arguments << current;
    }
}

LaunchTarget resolveLaunch(const QString& commandLine, const QString& programDir) {
    QStringList arguments = splitCommandLine(commandLine);
    if (arguments.isEmpty()) return {};
    QString program = arguments.takeFirst();
    if (program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) program.chop(4);
    if (program.compare(QLatin1String("explorer"), Qt::CaseInsensitive) == 0)
        return {QStringLiteral("xdg-open"), arguments, {}};
    QByteArray input;
    if (program.compare(QLatin1String("rasdial"), Qt::CaseInsensitive) == 0 &&
        arguments.size() == 3) {
        input = arguments[2].toLocal8Bit() + '\n';
        arguments[2] = QStringLiteral("*");
    }
    const QString own = programDir + u'/' + program;
    if (!program.contains(u'/') && QFileInfo(own).isExecutable()) program = own;
    return {program, arguments, input};
}

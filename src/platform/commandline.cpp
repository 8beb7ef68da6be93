#include "commandline.h"

#include <QFileInfo>

QStringList splitCommandLine(const QString& commandLine) {
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (const QChar c : commandLine) {
        if (c == u'"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (inArgument) arguments << current;
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments << current;
    return arguments;
}

LaunchTarget resolveLaunch(const QString& commandLine, const QString& programDir) {
    QStringList arguments = splitCommandLine(commandLine);
    if (arguments.isEmpty()) return {};
    QString program = arguments.takeFirst();
    if (program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) program.chop(4);
    if (program.compare(QLatin1String("explorer"), Qt::CaseInsensitive) == 0)
        return {QStringLiteral("xdg-open"), arguments};
    const QString own = programDir + u'/' + program;
    if (!program.contains(u'/') && QFileInfo(own).isExecutable()) program = own;
    return {program, arguments};
}

// Command lines built from server data, addresses and the user's private server boxes.
#include "fuzzcheck.h"
#include "platform/commandline.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line = fuzzText(data, size);
    const QStringList arguments = splitCommandLine(line);
    qsizetype kept = 0;
    for (const QString& argument : arguments)
        kept += argument.size();
    FUZZ_CHECK(kept <= line.size());
    // Without quotes and backslashes, the arguments are the runs of non-blanks.
    if (!line.contains(u'"') && !line.contains(u'\\')) {
        static const QRegularExpression blanks(QStringLiteral("[ \t]+"));
        FUZZ_CHECK(arguments == line.split(blanks, Qt::SkipEmptyParts));
    }
    // Only a line without a program name ("", "" x, ".exe") gives no program to start.
    const LaunchTarget target = resolveLaunch(line, QStringLiteral("/nonexistent"));
    const QString first = arguments.value(0);
    FUZZ_CHECK(target.program.isEmpty() ==
               (first.isEmpty() || first.compare(QLatin1String(".exe"), Qt::CaseInsensitive) == 0));
    return 0;
}

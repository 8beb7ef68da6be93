// Command lines built from server data, addresses and the user's private server boxes.
#include "fuzzcheck.h"
#include "platform/commandline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line = fuzzText(data, size);
    const QStringList arguments = splitCommandLine(line);
    qsizetype kept = 0;
    for (const QString& argument : arguments) {
        FUZZ_CHECK(!argument.contains(u'"'));
        kept += argument.size();
    }
    FUZZ_CHECK(kept <= line.size());
    const LaunchTarget target = resolveLaunch(line, QStringLiteral("/nonexistent"));
    // Only a line without a program name ("", "" x, ".exe") gives no program to start.
    const QString first = arguments.value(0);
    FUZZ_CHECK(target.program.isEmpty() ==
               (first.isEmpty() || first.compare(QLatin1String(".exe"), Qt::CaseInsensitive) == 0));
    return 0;
}

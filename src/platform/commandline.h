#pragma once

#include <QString>
#include <QStringList>

// Splits a command line into its arguments by Windows' rules (CommandLineToArgvW): runs of
// blanks separate arguments, double quotes group blanks into one argument, backslashes escape
// a quote only where they stand before one. Nothing is ever given to a shell.
QStringList splitCommandLine(const QString& commandLine);

// What to start for a command line written for Windows: the program to run and its arguments.
struct LaunchTarget {
    QString program;
    QStringList arguments;
    QByteArray standardInput; // handed over on a pipe; empty: none
};

// "explorer.exe ADDRESS" opens the address in the desktop's browser (xdg-open); any other
// "name.exe" runs "name", found first in programDir (where the connector's own tools are
// installed), then on the search path. An empty line gives an empty program.
// A dial, "rasdial ENTRY USER PASSWORD", becomes "rasdial ENTRY USER *" with the password on
// standard input (Windows' own form that asks for it): every local user may read a process's
// command line.
LaunchTarget resolveLaunch(const QString& commandLine, const QString& programDir);

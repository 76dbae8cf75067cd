#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace Wordloom {

class Clock;

// Exit codes of wordloom-cli; "find" that finds nothing ends with 1 too.
enum class ExitCode { Ok = 0, CheckFailed = 1, NothingFound = 1, Error = 2 };

// Runs one wordloom-cli command (the arguments without the program name)
// with the plug-ins of pluginFolder; returns the exit code.
int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err, const Clock &clock,
    const QString &pluginFolder);

} // namespace Wordloom

#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTextStream;

namespace Wordloom {

class Clock;
class LanguagePack;

// Exit codes of wordloom-cli; "find" that finds nothing ends with 1 too.
enum class ExitCode { Ok = 0, CheckFailed = 1, NothingFound = 1, Error = 2 };

// Where a command leaves the packs it loaded instead of freeing them, for
// a process that ends right after and hands their memory back at once.
struct Leftovers {
    Leftovers();
    ~Leftovers();
    std::vector<std::unique_ptr<LanguagePack>> packs;
};

// Runs one wordloom-cli command (the arguments without the program name)
// with the plug-ins of pluginFolder; returns the exit code. Without
// leftovers every pack is freed before the return.
int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err, const Clock &clock,
    const QString &pluginFolder, Leftovers *leftovers = nullptr);

} // namespace Wordloom

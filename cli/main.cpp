#include "cli/commandline.h"
#include "document/clock.h"
#include "plugins/plugincatalog.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    // A file-size limit then fails the write, which is reported, instead of
    // ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("wordloom-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const Wordloom::Clock clock;
    Wordloom::Leftovers leftovers;
    const int code = Wordloom::runCommandLine(QCoreApplication::arguments().mid(1), out, err, clock,
        Wordloom::PluginCatalog::programPluginFolder(), &leftovers);
    // The loaded packs go back to the system with the process, at once
    // rather than piece by piece; only the output needs to be out first.
    out.flush();
    err.flush();
    std::fflush(nullptr);
    std::_Exit(code);
}

#include "cli/commandline.h"
#include "document/clock.h"
#include "plugins/plugincatalog.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>

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
    return Wordloom::runCommandLine(QCoreApplication::arguments().mid(1), out, err, clock,
        Wordloom::PluginCatalog::programPluginFolder());
}

#include "document/clock.h"
#include "document/version.h"
#include "document/workerpool.h"
#include "editor/mainwindow.h"
#include "editor/widgetprompts.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "Aufruf: wordloom [DATEI]\n"
                      "Öffnet den Languagepack-Editor, mit DATEI als geöffnetem Languagepack.\n"
                      "\n"
                      "  -h, --help     diese Hilfe\n"
                      "  -v, --version  die Version\n";

} // namespace

int main(int argc, char *argv[])
{
    // Help and version answer without a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "-v") || !std::strcmp(argv[i], "--version")) {
            std::printf("wordloom %s\n", Wordloom::programVersion());
            return 0;
        }
    }

    // A file-size limit then fails the write, which is reported, instead of
    // ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wordloom"));
    QApplication::setApplicationVersion(QLatin1String(Wordloom::programVersion()));
    // The standard dialogs speak German like the rest of the program.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    Wordloom::WidgetPrompts prompts;
    Wordloom::Clock clock;
    Wordloom::MainWindow window(prompts, clock, Wordloom::PluginCatalog::programPluginFolder());
    prompts.setParentWidget(&window);
    window.show();
    // The pack named on the command line, then what a session that died
    // left, once the window is up.
    // QApplication has taken its own options (-platform, -style …) out.
    QStringList files = QApplication::arguments().mid(1);
    files.removeOne(QStringLiteral("--"));
    const QString path = files.isEmpty() ? QString() : QDir::current().absoluteFilePath(files.constFirst());
    QTimer::singleShot(0, &window, [&window, path] { window.openAtStart(path); });
    const int status = app.exec();
    // Background work (freeing a pack, an index build) ends before the
    // application object does.
    Wordloom::workerPool().waitForDone();
    return status;
}

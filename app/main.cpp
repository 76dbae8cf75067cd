#include "document/clock.h"
#include "document/workerpool.h"
#include "editor/mainwindow.h"
#include "editor/widgetprompts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <csignal>

int main(int argc, char *argv[])
{
    // A file-size limit then fails the write, which is reported, instead of
    // ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wordloom"));
    QApplication::setApplicationVersion(QStringLiteral(WORDLOOM_VERSION));
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
    // What a session that died left is offered once the window is up.
    QTimer::singleShot(0, &window, [&window] { window.files().offerRecovery(); });
    const int status = app.exec();
    // Background work (freeing a pack, an index build) ends before the
    // application object does.
    Wordloom::workerPool().waitForDone();
    return status;
}

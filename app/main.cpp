#include "document/clock.h"
#include "editor/mainwindow.h"
#include "editor/widgetprompts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wordloom"));
    QApplication::setApplicationVersion(QStringLiteral("1.3"));

    Wordloom::WidgetPrompts prompts;
    Wordloom::Clock clock;
    Wordloom::MainWindow window(prompts, clock);
    prompts.setParentWidget(&window);
    window.show();
    return app.exec();
}

// A session that is killed: loads the pack, takes over a translation for
// each of the first STEPS keys through the window's handlers, says "ready"
// and waits to be killed.
//   wordloom-crashdrill PACK STEPS
#include "document/clock.h"

#include "../support/drill.h"

#include <QAction>
#include <QApplication>

#include <cstdio>

using namespace Wordloom;

namespace {

class DrillPrompts : public Prompts {
public:
    QString path;
    void showInfo(const QString &) override {}
    void showError(const QString &message) override { qFatal("%s", qPrintable(message)); }
    UnsavedAnswer askUnsavedChanges(const QString &) override { return UnsavedAnswer::No; }
    bool confirm(const QString &) override { return false; }
    RecoveryAnswer askRecovery(const QString &) override { return RecoveryAnswer::Later; }
    QString openFile(const FileDialogSettings &) override { return path; }
    QString saveFile(const FileDialogSettings &) override { return QString(); }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    DrillPrompts prompts;
    prompts.path = QString::fromLocal8Bit(argv[1]);
    Clock clock;
    MainWindow window(prompts, clock, QString());
    window.findChild<QAction *>(QStringLiteral("loadAction"))->trigger();
    drillSteps(window, atoi(argv[2]));
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

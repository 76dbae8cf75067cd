#include "editor/exportcommand.h"

#include "document/languagepack.h"
#include "document/progress.h"
#include "document/workerpool.h"
#include "editor/prompts.h"
#include "plugins/exportrun.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace Wordloom {

namespace {

// An export that runs longer than this shows its progress dialog.
constexpr int kDialogDelayMs = 500;

// Runs the work on a worker thread; the window takes no input meanwhile, and
// after kDialogDelayMs a modal dialog offers "Abbrechen", which sets the
// progress cancelled. False when the work was cancelled; rethrows what else
// the work throws.
bool runWithDelayedDialog(QWidget *window, const std::function<void(Progress &)> &work)
{
    Progress progress;
    std::exception_ptr failure;
    QEventLoop loop;
    QFutureWatcher<void> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(&workerPool(), [&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QTimer delay;
    delay.setSingleShot(true);
    QObject::connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(kDialogDelayMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!watcher.isFinished()) {
        QProgressDialog dialog(QStringLiteral("Exportieren..."), QStringLiteral("Abbrechen"), 0, 0, window);
        dialog.setObjectName(QStringLiteral("exportProgress"));
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] { progress.cancelled = true; });
        dialog.show();
        if (!watcher.isFinished())
            loop.exec();
        dialog.hide();
    }
    watcher.waitForFinished();
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const Cancelled &) {
        return false;
    }
    return true;
}

} // namespace

QStringList ExportCommand::scan(const QString &folder)
{
    mPlugins.scan(folder);
    return mPlugins.exportNames();
}

QString ExportCommand::skippedMessage() const
{
    return mPlugins.skipped().join(QStringLiteral("; "));
}

QString ExportCommand::run(const QString &exportName, const LanguagePack &pack, QWidget *window)
{
    ExportSession session;
    if (!session.open(mPlugins.libraryPath(exportName))) {
        mPrompts.showInfo(QStringLiteral("Oops: Fehler beim Laden des Plugins... :("));
        return QString();
    }
    const ExportOffer &offer = session.offer();
    mDialog.title = offer.dialogTitle();
    mDialog.defaultExtension = offer.extension;
    mDialog.filter = offer.dialogFilter();
    mDialog.fileName = proposedFileName(pack.info(), offer.extension);
    const QString path = mPrompts.saveFile(mDialog);
    if (path.isEmpty())
        return QString();
    mDialog.fileName = path;
    const bool exported = runWithDelayedDialog(window,
        [&](Progress &progress) { session.run(path, pack.data(), pack.info(), &progress); });
    return exported ? QStringLiteral("Exportiert: ") + QFileInfo(path).fileName() : QString();
}

} // namespace Wordloom

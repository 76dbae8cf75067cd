#include "editor/backgroundwork.h"

#include "document/workerpool.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>

namespace Wordloom {

ProgressDialogTiming &progressDialogTiming()
{
    static ProgressDialogTiming timing;
    return timing;
}

void runInBackground(QWidget *parent, const QString &label, qint64 total, const std::function<void(Progress &)> &work)
{
    const BusyCursor busy;
    const ProgressDialogTiming &timing = progressDialogTiming();
    Progress progress;
    std::exception_ptr failure;
    bool finished = false;
    QEventLoop loop;
    std::optional<QProgressDialog> dialog;
    QTimer ticker;
    const auto showDialog = [&] {
        dialog.emplace(label, QStringLiteral("Abbrechen"), 0, 1000, parent);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setAutoReset(false);
        dialog->setAutoClose(false);
        QObject::connect(&*dialog, &QProgressDialog::canceled, &*dialog, [&] { progress.cancelled = true; });
        QObject::connect(&ticker, &QTimer::timeout, &*dialog,
            [&] { dialog->setValue(int(std::min<qint64>(1000, progress.done * 1000 / std::max<qint64>(total, 1)))); });
        dialog->show();
        ticker.start(100);
        if (timing.shown)
            timing.shown(*dialog);
    };
    if (timing.delay <= std::chrono::milliseconds(0))
        showDialog();
    QFutureWatcher<void> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    watcher.setFuture(QtConcurrent::run(&workerPool(), [&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    if (!dialog) {
        // Until the dialog shows, the window takes no input, as if it
        // waited on the GUI thread.
        QTimer delay;
        delay.setSingleShot(true);
        QObject::connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
        delay.start(timing.delay);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!finished)
            showDialog();
    }
    // The window stays inert behind the modal dialog, but keeps painting.
    if (!finished)
        loop.exec();
    ticker.stop();
    if (dialog)
        dialog->hide();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace Wordloom

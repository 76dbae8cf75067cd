#pragma once

#include "document/progress.h"
#include "document/workerpool.h"

#include <QApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <functional>
#include <optional>

namespace Wordloom {

// Shows the wait cursor while a long load, save or search runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Work on a file of this size or more goes to a worker thread.
constexpr qint64 kBackgroundBytes = 16 << 20;

// Runs the work on a worker thread while a modal progress dialog keeps the
// window painting and offers "Abbrechen"; returns nothing when the user
// cancelled (the work then threw Cancelled), and throws what else the work
// throws. Work on less than kBackgroundBytes runs at once under the wait
// cursor, without a dialog and without progress.
template <typename T>
std::optional<T> runWithProgress(QWidget *parent, const QString &label, qint64 total,
    const std::function<T(Progress *)> &work)
{
    if (total < kBackgroundBytes) {
        const BusyCursor busy;
        return work(nullptr);
    }
    Progress progress;
    std::optional<T> result;
    std::exception_ptr failure;
    QFutureWatcher<void> watcher;
    QProgressDialog dialog(label, QStringLiteral("Abbrechen"), 0, 1000, parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &dialog,
        [&] { dialog.setValue(int(std::min<qint64>(1000, progress.done * 1000 / std::max<qint64>(total, 1)))); });
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] { progress.cancelled = true; });
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(&workerPool(), [&] {
        try {
            result.emplace(work(&progress));
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    ticker.start(100);
    dialog.show();
    // The window stays inert behind the modal dialog, but keeps painting.
    loop.exec();
    ticker.stop();
    dialog.hide();
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const Cancelled &) {
        return std::nullopt;
    }
    return result;
}

} // namespace Wordloom

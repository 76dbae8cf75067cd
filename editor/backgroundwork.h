#pragma once

#include "document/progress.h"

#include <QApplication>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QProgressDialog;
class QWidget;

namespace Wordloom {

// Shows the wait cursor while a long load, save or search runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// When the progress dialog of background work appears. A test sets the
// delay to zero, so that the dialog shows before the work starts, and acts
// on it through shown (which runs on the GUI thread as the dialog appears).
struct ProgressDialogTiming {
    std::chrono::milliseconds delay{500};
    std::function<void(QProgressDialog &)> shown;
};
ProgressDialogTiming &progressDialogTiming();

// Runs the work on a worker thread, whatever its size, while the window
// waits without taking input; once the work takes longer than the delay, a
// modal progress dialog keeps the window painting and offers "Abbrechen".
// Throws what the work throws, Cancelled when the user cancelled.
void runInBackground(QWidget *parent, const QString &label, qint64 total, const std::function<void(Progress &)> &work);

// As runInBackground, with the work's result; nothing when the user
// cancelled (the work then threw Cancelled).
template <typename T>
std::optional<T> runWithProgress(QWidget *parent, const QString &label, qint64 total,
    const std::function<T(Progress &)> &work)
{
    std::optional<T> result;
    try {
        runInBackground(parent, label, total, [&](Progress &progress) { result.emplace(work(progress)); });
    } catch (const Cancelled &) {
        return std::nullopt;
    }
    return result;
}

} // namespace Wordloom

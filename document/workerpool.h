#pragma once

#include <QThreadPool>

#include <exception>
#include <functional>
#include <latch>

namespace Wordloom {

// The threads for the program's long background work: loads, saves, the
// search index, freeing an old pack. Qt's raster painting splits its work
// over the global pool and waits for it, so work there that runs for
// seconds would stall the window's painting.
inline QThreadPool &workerPool()
{
    static QThreadPool pool;
    return pool;
}

// Runs both pieces of work at once: the second on the worker pool when a
// thread is free there, else after the first. Returns when both are done;
// an exception of either is thrown here.
inline void runSideBySide(const std::function<void()> &first, const std::function<void()> &second)
{
    std::latch done(1);
    std::exception_ptr failure;
    const bool started = workerPool().tryStart([&] {
        try {
            second();
        } catch (...) {
            failure = std::current_exception();
        }
        done.count_down();
    });
    if (!started) {
        first();
        second();
        return;
    }
    try {
        first();
    } catch (...) {
        done.wait();
        throw;
    }
    done.wait();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace Wordloom

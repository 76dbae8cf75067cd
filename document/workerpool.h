#pragma once

#include <QThreadPool>

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

} // namespace Wordloom

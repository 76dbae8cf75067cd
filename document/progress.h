#pragma once

#include <QtGlobal>
#include <atomic>

namespace Wordloom {

// How far a long read has come, shared with the thread doing it; setting
// cancelled stops it at the next piece it reads.
struct Progress {
    std::atomic<qint64> done{0};
    std::atomic<bool> cancelled{false};
};

// Thrown by a read that was cancelled through its Progress; nothing was
// changed.
struct Cancelled {};

} // namespace Wordloom

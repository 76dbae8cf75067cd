#pragma once

#include <QtGlobal>
#include <algorithm>

namespace Wordloom {

// Hooks through which tests stand in for conditions too costly to create,
// such as a text of gigabytes. Unset, each leaves everything as it is.
struct FaultInjection {
    // Given the UTF-8 size of a text on its way into a file, returns the
    // size the writer acts on; it may only make a text larger.
    static inline qsizetype (*textSize)(qsizetype size) = nullptr;

    static qsizetype sized(qsizetype size) { return textSize ? std::max(size, textSize(size)) : size; }
};

} // namespace Wordloom

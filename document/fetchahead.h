#pragma once

#include "document/keynames.h"

#include <algorithm>
#include <cstddef>

namespace Wordloom {

// Calls visit(i, hash) for i in [from, to), hash being the nameHash of
// nameOf(i). Look-ups wait for memory far more than they compute, so
// fetch(i, hash), which starts loading the slots the look-ups will probe,
// runs a few names ahead of each visit.
template <typename NameOf, typename Fetch, typename Visit>
void forEachFetched(size_t from, size_t to, NameOf nameOf, Fetch fetch, Visit visit)
{
    constexpr size_t kAhead = 16;
    size_t hashes[kAhead];
    const auto start = [&](size_t i) {
        const size_t hash = nameHash(nameOf(i));
        hashes[i % kAhead] = hash;
        fetch(i, hash);
    };
    for (size_t i = from; i < std::min(to, from + kAhead); ++i)
        start(i);
    for (size_t i = from; i < to; ++i) {
        const size_t hash = hashes[i % kAhead];
        if (i + kAhead < to)
            start(i + kAhead);
        visit(i, hash);
    }
}

} // namespace Wordloom

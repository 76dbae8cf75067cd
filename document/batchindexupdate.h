#pragma once

#include "document/packstep.h"

#include <memory>
#include <vector>

namespace Wordloom {

struct KeyData;
class SearchIndex;

// Keeps the search indexes of the per-key lists out of a step over many
// lines: changed one line at a time, an index would be updated at every
// line, wear out and be built anew by the next search. The indexes are
// taken away while the step is applied and finish() brings each up to
// date in one pass; an index whose lines came or went is dropped instead,
// and so is every index when finish() is not reached.
class BatchIndexUpdate {
public:
    // Takes the indexes when the step is large enough for this to pay.
    BatchIndexUpdate(KeyData &data, size_t lines);
    ~BatchIndexUpdate();
    BatchIndexUpdate(const BatchIndexUpdate &) = delete;
    BatchIndexUpdate &operator=(const BatchIndexUpdate &) = delete;

    // The lines the step changed, in any order.
    void finish(const std::vector<PackStep::LineChange> &lines);

private:
    KeyData &mData;
    std::vector<std::unique_ptr<SearchIndex>> mTaken;
};

} // namespace Wordloom

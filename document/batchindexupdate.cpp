#include "document/batchindexupdate.h"

#include "document/packformat.h"
#include "document/searchindex.h"

#include <optional>

namespace Wordloom {

namespace {

// Below this many lines a step keeps the indexes up to date line by line.
constexpr size_t kLargeStep = 4096;

} // namespace

BatchIndexUpdate::BatchIndexUpdate(KeyData &data, size_t lines) : mData(data)
{
    // Lowering a whole list anew pays when the step touches a good part of it.
    if (lines < kLargeStep || lines * 16 < size_t(data.hashlistKeys.count()))
        return;
    mTaken.resize(std::size(kKeyFields));
    for (const KeyField field : kKeyFields)
        mTaken[size_t(field)] = data.list(field).takeSearchIndex();
}

BatchIndexUpdate::~BatchIndexUpdate() = default;

void BatchIndexUpdate::finish(const std::vector<PackStep::LineChange> &lines)
{
    if (mTaken.empty())
        return;
    // Per list, the positions of the lines whose values changed, or
    // nothing once a line came or went. A line respelled keeps its place
    // in the name order, as no other line's name equals it.
    std::optional<std::vector<qsizetype>> changed[std::size(kKeyFields)];
    for (const KeyField field : kKeyFields)
        if (mTaken[size_t(field)])
            changed[size_t(field)].emplace().reserve(lines.size());
    for (const PackStep::LineChange &change : lines) {
        std::optional<std::vector<qsizetype>> &positions = changed[size_t(change.field)];
        if (!positions)
            continue;
        if (change.before.isEmpty() || change.after.isEmpty())
            positions.reset();
        else
            positions->push_back(change.pos);
    }
    for (const KeyField field : kKeyFields)
        mData.list(field).putSearchIndex(std::move(mTaken[size_t(field)]), changed[size_t(field)]);
    mTaken.clear();
}

} // namespace Wordloom

#pragma once

#include <QtGlobal>

namespace Wordloom {

class LanguagePack;
class PackStep;

// The comparison of a pack with its reference: keys of the reference
// missing in the pack, keys only in the pack, shared keys without a
// translation here, and shared keys whose translation equals the
// reference's. Names equal but for case are one key; a shared key counts
// once, the other rows each.
struct ReferenceCounts {
    qsizetype missingHere = 0;
    qsizetype onlyHere = 0;
    qsizetype empty = 0;
    qsizetype same = 0;

    bool operator==(const ReferenceCounts &) const = default;

    // Counts over the whole of both packs.
    static ReferenceCounts of(const LanguagePack &pack, const LanguagePack &reference);
    // Follows a step the pack has just applied (forward: done or redone;
    // backward: undone), looking only at the keys it touched.
    void follow(const LanguagePack &pack, const LanguagePack &reference, const PackStep &step, bool forward);
};

} // namespace Wordloom

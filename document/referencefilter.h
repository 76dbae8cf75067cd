#pragma once

#include "document/hashlist.h"

#include <QString>
#include <unordered_set>

namespace Wordloom {

class LanguagePack;

// How the keys of a pack stand against a reference pack, for the search's
// filters: the keys the reference lacks, and the keys whose translation is
// the reference's. Built once from both packs on the thread that owns them,
// then only read, so a search on another thread may use it.
class ReferenceFilter {
public:
    ReferenceFilter(const LanguagePack &pack, const LanguagePack &reference);

    bool isOnlyHere(const QString &name) const { return mOnlyHere.contains(name); }
    // A translation that is there and equals the reference's.
    bool isSameAsReference(const QString &name) const { return mSame.contains(name); }

private:
    struct Hash {
        size_t operator()(const QString &name) const { return nameHash(name); }
    };
    struct Equal {
        bool operator()(const QString &a, const QString &b) const { return namesEqual(a, b); }
    };
    using NameSet = std::unordered_set<QString, Hash, Equal>;
    NameSet mOnlyHere;
    NameSet mSame;
};

} // namespace Wordloom

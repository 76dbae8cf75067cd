#include "document/referencefilter.h"

#include "document/languagepack.h"

namespace Wordloom {

ReferenceFilter::ReferenceFilter(const LanguagePack &pack, const LanguagePack &reference)
{
    // Both lists stand in the same order: one walk pairs them. A name equal
    // ignoring case is the same key; repeated names count once.
    const std::vector<QString> &mine = pack.keys().names();
    const std::vector<QString> &theirs = reference.keys().names();
    size_t i = 0, j = 0;
    while (i < mine.size()) {
        // The same spelling, the common case, needs no folding.
        const int order = j == theirs.size() ? -1 : mine[i] == theirs[j] ? 0 : compareNames(mine[i], theirs[j]);
        if (order > 0) {
            ++j;
            continue;
        }
        const QString &name = mine[i];
        if (order < 0) {
            mOnlyHere.insert(name);
        } else {
            const size_t hash = nameHash(name);
            const QString translation = pack.data().hashlistKeys.value(name, hash);
            if (!translation.isEmpty() && translation == reference.data().hashlistKeys.value(name, hash))
                mSame.insert(name);
            while (j < theirs.size() && namesEqual(theirs[j], name))
                ++j;
        }
        while (i < mine.size() && namesEqual(mine[i], name))
            ++i;
    }
}

} // namespace Wordloom

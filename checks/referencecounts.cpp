#include "checks/referencecounts.h"

#include "document/languagepack.h"

#include <QHash>
#include <optional>

namespace Wordloom {

namespace {

// The rows whose names equal the name but for case; they stand together.
qsizetype rowsOf(const KeyList &keys, const QString &name)
{
    return keys.equalRows(name);
}

// What one key (all its spellings) adds to the counts.
void add(ReferenceCounts &counts, qsizetype rows, const QString &mine, qsizetype theirRows, const QString &theirs,
    int sign)
{
    if (rows > 0 && theirRows > 0) {
        counts.empty += sign * mine.isEmpty();
        counts.same += sign * (!mine.isEmpty() && mine == theirs);
    } else if (rows > 0) {
        counts.onlyHere += sign * rows;
    } else {
        counts.missingHere += sign * theirRows;
    }
}

} // namespace

ReferenceCounts ReferenceCounts::of(const LanguagePack &pack, const LanguagePack &reference)
{
    ReferenceCounts counts;
    const std::vector<QString> &mine = pack.keys().names();
    const std::vector<QString> &theirs = reference.keys().names();
    // Walks the two sorted lists together.
    size_t i = 0, j = 0;
    while (i < mine.size() || j < theirs.size()) {
        const int order = i == mine.size() ? 1 : j == theirs.size() ? -1 : compareNames(mine[i], theirs[j]);
        if (order == 0) {
            const QString &name = mine[i];
            const size_t hash = nameHash(name);
            const QString text = pack.data().hashlistKeys.value(name, hash);
            counts.empty += text.isEmpty();
            counts.same += !text.isEmpty() && text == reference.data().hashlistKeys.value(name, hash);
            while (i < mine.size() && namesEqual(mine[i], name))
                ++i;
            while (j < theirs.size() && namesEqual(theirs[j], name))
                ++j;
        } else if (order < 0) {
            ++counts.onlyHere;
            ++i;
        } else {
            ++counts.missingHere;
            ++j;
        }
    }
    return counts;
}

void ReferenceCounts::follow(const LanguagePack &pack, const LanguagePack &reference, const PackStep &step,
    bool forward)
{
    // Past a few thousand changes, counting anew over both lists is cheaper
    // than a search in each for every key.
    if (step.keyChanges().size() + step.lines().size() > 4096) {
        *this = of(pack, reference);
        return;
    }
    // Per key touched (by its nameKey): the spelling, how many rows it had
    // before the step minus now, and its translation before the step.
    struct Before {
        QString name;
        qsizetype rowChange = 0;
        std::optional<QString> translation;
    };
    QHash<QString, Before> touched;
    const auto key = [&](const QString &name) -> Before & {
        Before &before = touched[nameKey(name)];
        if (before.name.isEmpty())
            before.name = name;
        return before;
    };
    const int sign = forward ? 1 : -1;
    using Kind = PackStep::KeyChange::Kind;
    for (const PackStep::KeyChange &change : step.keyChanges()) {
        if (change.kind == Kind::Rename) {
            key(change.name).rowChange += sign;
            key(change.newName).rowChange -= sign;
        } else {
            key(change.name).rowChange += change.kind == Kind::Insert ? -sign : sign;
        }
    }
    const std::vector<PackStep::LineChange> &lines = step.lines();
    // Forward, the first change of a key holds what it had; backward, the
    // last one holds what the undo took away.
    for (size_t k = 0; k < lines.size(); ++k) {
        const PackStep::LineChange &change = forward ? lines[k] : lines[lines.size() - 1 - k];
        if (change.field != KeyField::Translation)
            continue;
        Before &before = key(change.name);
        if (!before.translation)
            before.translation = forward ? change.before : change.after;
    }
    for (const Before &before : std::as_const(touched)) {
        const size_t hash = nameHash(before.name);
        const QString mine = pack.data().hashlistKeys.value(before.name, hash);
        const QString theirs = reference.data().hashlistKeys.value(before.name, hash);
        const qsizetype rows = rowsOf(pack.keys(), before.name);
        const qsizetype theirRows = rowsOf(reference.keys(), before.name);
        add(*this, rows + before.rowChange, before.translation.value_or(mine), theirRows, theirs, -1);
        add(*this, rows, mine, theirRows, theirs, 1);
    }
}

} // namespace Wordloom

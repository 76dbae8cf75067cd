#include "document/languagepack.h"

#include "document/batchindexupdate.h"
#include "document/packstep.h"

#include <algorithm>

// Steps applied: undo and redo of the pack's own steps, and steps of
// another session made again (the journal's recovery).

namespace Wordloom {

namespace {

// The changes in the order recorded, or backwards.
template <typename Changes, typename Apply> void inOrder(Changes &changes, bool forward, Apply apply)
{
    if (forward)
        std::for_each(changes.begin(), changes.end(), apply);
    else
        std::for_each(changes.rbegin(), changes.rend(), apply);
}

} // namespace

void LanguagePack::replay(PackStep &step, bool forward)
{
    // Lines and rows replay apart from each other, so the count of
    // translated rows is taken over the names the step touches.
    const bool small = step.lines().size() + step.mKeys.size() <= 64;
    QStringList touched;
    if (small) {
        for (const PackStep::LineChange &change : step.lines())
            if (change.field == KeyField::Translation)
                touched << change.name;
        for (const PackStep::KeyChange &change : step.mKeys)
            touched << change.name << change.newName;
    }
    const qsizetype before = small ? translatedRowsOf(touched) : 0;
    // In the order recorded, or its reverse; each line's slot is fetched a
    // few lines ahead.
    const size_t lines = step.lines().size();
    constexpr size_t kAhead = 16;
    const auto lineAt
        = [&](size_t k) -> const PackStep::LineChange & { return step.lines()[forward ? k : lines - 1 - k]; };
    BatchIndexUpdate indexes(mData, lines);
    for (size_t k = 0; k < lines; ++k) {
        if (k + kAhead < lines)
            mData.list(lineAt(k + kAhead).field).prefetch(lineAt(k + kAhead).hash);
        applyLine(lineAt(k), forward);
    }
    indexes.finish(step.lines());
    if (!small && std::all_of(step.mKeys.begin(), step.mKeys.end(), [](const PackStep::KeyChange &change) {
            return change.kind == PackStep::KeyChange::Kind::Insert;
        }))
        applyInserts(step.mKeys, forward);
    else
        inOrder(step.mKeys, forward, [&](const PackStep::KeyChange &change) { applyKey(change, forward); });
    // A large step is counted anew when the count is next asked for.
    if (mTranslatedRows >= 0)
        mTranslatedRows = small ? mTranslatedRows + translatedRowsOf(touched) - before : -1;
    if (step.mInfoRow >= 0) {
        infoField(mInfo, step.mInfoRow) = forward ? step.mInfoAfter : step.mInfoBefore;
        emit infoChanged(step.mInfoRow);
    }
    // One notice per key, not per line.
    QString last;
    for (const PackStep::LineChange &change : step.lines()) {
        if (change.name != last)
            emit entryChanged(change.name);
        last = change.name;
    }
}

void LanguagePack::applyLine(const PackStep::LineChange &change, bool forward)
{
    Hashlist &list = mData.list(change.field);
    const QString &from = forward ? change.before : change.after;
    const QString &to = forward ? change.after : change.before;
    // The line's spelling now, and the one it takes.
    const QString &current = forward ? change.oldName : change.name;
    const QString &target = forward ? change.name : change.oldName;
    if (to.isEmpty())
        list.remove(current, change.hash);
    else if (from.isEmpty())
        list.restore(change.pos, target, to, change.hash);
    else
        list.setValue(target, to, change.hash);
}

void LanguagePack::applyInserts(const std::vector<PackStep::KeyChange> &inserts, bool forward)
{
    // Many rows added or taken away at once: one merge, or one pass.
    if (forward) {
        std::vector<QString> names;
        names.reserve(inserts.size());
        for (const PackStep::KeyChange &change : inserts)
            names.push_back(change.name);
        KeyList::sort(names);
        mKeys.insertSorted(names);
        return;
    }
    std::vector<qsizetype> rows;
    rows.reserve(inserts.size());
    for (const PackStep::KeyChange &change : inserts)
        if (const qsizetype row = mKeys.exactRow(change.name, change.row); row >= 0)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.size() == inserts.size()) {
        mKeys.removeSorted(rows);
        return;
    }
    // A name added twice: row by row, as recorded.
    std::for_each(inserts.rbegin(), inserts.rend(),
        [this](const PackStep::KeyChange &change) { applyKey(change, false); });
}

void LanguagePack::applyKey(const PackStep::KeyChange &change, bool forward)
{
    using Kind = PackStep::KeyChange::Kind;
    if (change.kind == Kind::Rename) {
        if (forward)
            mKeys.rename(change.row, change.newName);
        else
            mKeys.rename(change.newRow, change.name);
    } else if ((change.kind == Kind::Insert) == forward) {
        mKeys.insert(change.name);
    } else {
        mKeys.removeAt(change.row);
    }
}

const PackStep *LanguagePack::undoStep() const
{
    return canUndo() ? static_cast<const PackStep *>(mHistory.command(mHistory.index() - 1)) : nullptr;
}

const PackStep *LanguagePack::redoStep() const
{
    return canRedo() ? static_cast<const PackStep *>(mHistory.command(mHistory.index())) : nullptr;
}

void LanguagePack::undo()
{
    if (!canUndo())
        return;
    mHistory.undo();
    updateModified();
    emit stepUndone(*static_cast<const PackStep *>(mHistory.command(mHistory.index())));
}

void LanguagePack::redo()
{
    if (!canRedo())
        return;
    mHistory.redo();
    updateModified();
    emit stepRedone(*static_cast<const PackStep *>(mHistory.command(mHistory.index() - 1)));
}

void LanguagePack::reapply(const PackStep &recorded, bool forward, QStringList &conflicts, bool strict)
{
    using Kind = PackStep::KeyChange::Kind;
    beginStep(recorded.text(), recorded.key());
    BatchIndexUpdate indexes(mData, recorded.lines().size());
    inOrder(recorded.lines(), forward, [&](const PackStep::LineChange &change) {
        const Hashlist &list = mData.list(change.field);
        const size_t hash = nameHash(change.name);
        const qsizetype pos = list.position(change.name, hash);
        const QString current = pos >= 0 ? list.valueAtPosition(pos) : QString();
        if (current != (forward ? change.before : change.after)) {
            conflicts << change.name;
            return;
        }
        const QString &spelling = forward || change.oldName.isEmpty() ? change.name : change.oldName;
        setLine(change.field, spelling, forward ? change.after : change.before, hash, change.pos);
    });
    indexes.finish(*mRecording->mLines);
    // A rename onto another row's name would merge the two.
    const auto taken = [this](const QString &name, qsizetype row) {
        const qsizetype other = mKeys.exactRow(name, -1);
        return other >= 0 && other != row;
    };
    inOrder(recorded.mKeys, forward, [&](const PackStep::KeyChange &change) {
        const bool rename = change.kind == Kind::Rename;
        const QString &from = rename && !forward ? change.newName : change.name;
        const qsizetype row = mKeys.exactRow(from, rename && !forward ? change.newRow : change.row);
        if (!rename && (change.kind == Kind::Insert) == forward) {
            if (strict && row >= 0)
                conflicts << change.name;
            else
                insertKey(change.name);
        } else if (row < 0 || (rename && taken(forward ? change.newName : change.name, row))) {
            conflicts << from;
        } else if (rename) {
            renameRow(row, forward ? change.newName : change.name);
        } else {
            removeKey(row);
        }
    });
    if (recorded.mInfoRow >= 0) {
        QString &field = infoField(mInfo, recorded.mInfoRow);
        if (field != (forward ? recorded.mInfoBefore : recorded.mInfoAfter)) {
            conflicts << QString();
        } else {
            mRecording->mInfoRow = recorded.mInfoRow;
            mRecording->mInfoBefore = field;
            mRecording->mInfoAfter = field = forward ? recorded.mInfoAfter : recorded.mInfoBefore;
            emit infoChanged(recorded.mInfoRow);
        }
    }
    // A step that lost every change still holds its place, so that the
    // undo and redo after it meet the steps they were made on.
    endStep(true);
}

} // namespace Wordloom

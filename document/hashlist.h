#pragma once

#include "document/hashlistvalues.h"
#include "document/keynames.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Wordloom {

class SearchIndex;

// An ordered list of name/value lines with a case-insensitive index.
// Names and values are kept apart, so a name may contain "=".
class Hashlist {
public:
    Hashlist();
    ~Hashlist();
    Hashlist(const Hashlist &) = delete;
    Hashlist &operator=(const Hashlist &) = delete;
    Hashlist(Hashlist &&) noexcept;
    Hashlist &operator=(Hashlist &&) noexcept;

    // The empty text for a missing name. Each call may be given the name's
    // nameHash, so a caller touching several lists hashes the name once.
    QString value(const QString &name) const { return value(name, nameHash(name)); }
    QString value(const QString &name, size_t hash) const;
    bool contains(const QString &name) const;
    // A non-empty value replaces the line (taking the name as now given) or
    // appends one; the empty value removes the line.
    // Both return the line's position, or -1 when there was none.
    qsizetype setValue(const QString &name, const QString &value) { return setValue(name, value, nameHash(name)); }
    qsizetype setValue(const QString &name, const QString &value, size_t hash);
    // Starts loading the index slot a name with this hash probes first, so
    // a caller with other work to do meanwhile does not wait for memory.
    void prefetch(size_t hash) const
    {
        if (!mSlots.empty())
            __builtin_prefetch(&mSlots[hash & (mSlots.size() - 1)]);
    }
    // Starts loading the line at a position, and with value its text.
    void prefetchLine(qsizetype pos, bool value = false) const
    {
        if (value)
            __builtin_prefetch(mValues[size_t(pos)].constData());
        else
            mValues.prefetch(size_t(pos));
    }
    qsizetype remove(const QString &name) { return remove(name, nameHash(name)); }
    qsizetype remove(const QString &name, size_t hash);
    // The position of the name's line, or -1; positions stay valid while
    // removed lines are kept.
    qsizetype position(const QString &name, size_t hash) const;
    const QString &valueAtPosition(qsizetype pos) const { return mValues[size_t(pos)]; }
    // Gives the live line at pos a new non-empty value, its name unchanged:
    // setValue for a line found already.
    void setValueAtPosition(qsizetype pos, const QString &value);
    // Puts a removed line back at the position it had, so the order of the
    // lines is as before its removal; appends when that place is gone.
    // Returns where the line went.
    qsizetype restore(qsizetype pos, const QString &name, const QString &value, size_t hash);
    // While set, removed lines keep their places (positional access skips
    // them), so that restore() finds them; an undo history needs this.
    void setKeepRemoved(bool keep) { mKeepRemoved = keep; }
    // Makes room for this many lines, so adding them moves none.
    void reserve(qsizetype lines);
    void clear();
    void swap(Hashlist &other) noexcept;

    qsizetype count() const { return mLive; }
    const QString &nameAt(qsizetype i) const;
    const QString &valueAt(qsizetype i) const;
    // The line in its plug-in form, name "=" value.
    QString lineAt(qsizetype i) const;

    // The lines whose value contains the text, ignoring case, as positions
    // in the order of the names ignoring case; nothing for the empty text.
    // The search index behind it is built by the first search and from then
    // on kept in step with every change, so a search neither lowers every
    // value nor sorts its results.
    std::vector<qint32> linesContaining(const QString &text) const;
    // The same for the text in its letter case.
    std::vector<qint32> linesContainingInCase(const QString &text) const;
    // The positions of the live lines in the order of their names, from
    // the search index; valid until the list changes.
    const std::vector<qint32> &linesInOrder() const;
    // The name at a position a search gave. A removed line keeps its name
    // until the positions change, which the hook set here hears of first:
    // before removed lines are dropped and before the list is cleared or
    // swapped. The hook stays with this object.
    const QString &lineName(qint32 pos) const { return mNames[size_t(pos)]; }
    void setBeforeRelayout(std::function<void()> hook) const { mBeforeRelayout.call = std::move(hook); }
    // Changes with every change of the list; unique over all lists. Not
    // to be read on two threads at once.
    quint64 generation() const;
    // Whether the search index exists, so the next search is quick.
    bool isSearchReady() const { return mSearch != nullptr; }

    // Builds the search index away from the list: prepareSearchIndex starts
    // a snapshot (nullptr when the index exists) and takeSnapshot copies the
    // lines into it, a part at a time if the caller wants its event loop to
    // keep turning; run() may then go on any thread, and adoptSearchIndex
    // installs the result unless the list changed in the meantime.
    class IndexBuild {
    public:
        IndexBuild();
        ~IndexBuild();
        void run();

    private:
        friend class Hashlist;
        std::vector<QString> mNames;
        std::vector<QString> mValues;
        quint64 mGeneration = 0;
        std::unique_ptr<SearchIndex> mIndex;
    };
    std::shared_ptr<IndexBuild> prepareSearchIndex() const;
    // Copies up to lines more lines; true once the snapshot is whole. A
    // change of the list in between starts the copy over.
    bool takeSnapshot(IndexBuild &build, size_t lines = SIZE_MAX) const;
    bool adoptSearchIndex(IndexBuild &build) const;

    // For a step over many lines: the search index taken away, so changes
    // leave it alone, and given back afterwards with the positions of the
    // lines whose values changed. Lines added or removed meanwhile are told
    // by passing nullopt, and the index is dropped.
    std::unique_ptr<SearchIndex> takeSearchIndex();
    void putSearchIndex(std::unique_ptr<SearchIndex> index, const std::optional<std::vector<qsizetype>> &changed);

    // Frees the slots of removed lines; positional access does this itself.
    void compact() const;

private:
    // Open addressing over the lines: a slot holds a line position and the
    // low half of its name's hash, so probing rarely reads a line.
    struct Slot {
        quint32 tag;
        qint32 pos;
    };
    static constexpr qint32 kEmpty = -1;
    static constexpr qint32 kRemoved = -2;

    // The slot holding the name, or -1.
    qsizetype findSlot(const QString &name, size_t hash) const;
    // Rehashes the live slots into a table of this size; moved, when
    // given, maps their positions to new ones.
    void rebuildSlots(size_t capacity, const std::vector<qint32> *moved = nullptr) const;
    void ensureSearchIndex() const;
    void unindexValue(qsizetype pos) const;
    void orderInsert(qsizetype pos) const;
    void orderErase(const QString &name) const;
    void dropSearchIndex() const;
    void relayout() const;
    // The position of the i-th live line.
    qsizetype livePosition(qsizetype i) const;

    // The lines by position. A removed line's value is left empty until the
    // lines are compacted; a live one never has an empty value.
    mutable std::vector<QString> mNames;
    mutable HashlistValues mValues;
    mutable std::vector<Slot> mSlots;
    // Live and removed slots; the table grows before it is 3/4 full.
    mutable qsizetype mSlotsUsed = 0;
    qsizetype mLive = 0;
    // Counts changes, so a search index built apart knows whether it fits;
    // moved on when read after a change, so a change costs no atomic step.
    mutable quint64 mGeneration = 0;
    mutable bool mChanged = false;
    mutable std::unique_ptr<SearchIndex> mSearch;
    bool mKeepRemoved = false;
    // Live line positions for positional access while removed lines stay,
    // valid for mLiveGeneration.
    mutable std::vector<qint32> mLivePositions;
    mutable quint64 mLiveGeneration = 0;
    // Not moved: it belongs to the object it was set on.
    struct Hook {
        std::function<void()> call;
        Hook() = default;
        Hook(Hook &&) noexcept {}
        Hook &operator=(Hook &&) noexcept { return *this; }
    } mutable mBeforeRelayout;
};

} // namespace Wordloom

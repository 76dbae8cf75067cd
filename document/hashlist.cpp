#include "document/hashlist.h"

#include "document/searchindex.h"

#include <algorithm>
#include <atomic>
#include <bit>

namespace Wordloom {

namespace {

// Unique over all lists, so an index built for one list never fits another.
quint64 nextGeneration()
{
    static std::atomic<quint64> counter{0};
    return ++counter;
}

// The low half of the hash: it holds the bits that pick the home slot, so
// the table grows from its slots alone, and lines need not keep hashes.
inline quint32 tagOf(size_t hash)
{
    return quint32(hash);
}

} // namespace

Hashlist::Hashlist() : mGeneration(nextGeneration()) {}
Hashlist::~Hashlist() = default;
Hashlist::Hashlist(Hashlist &&other) noexcept : Hashlist()
{
    swap(other);
}
Hashlist &Hashlist::operator=(Hashlist &&other) noexcept
{
    // Through swap, so a holder of positions hears of the change.
    if (this != &other)
        swap(other);
    return *this;
}

quint64 Hashlist::generation() const
{
    if (mChanged) {
        mGeneration = nextGeneration();
        mChanged = false;
    }
    return mGeneration;
}

qsizetype Hashlist::findSlot(const QString &name, size_t hash) const
{
    if (mSlots.empty())
        return -1;
    const size_t mask = mSlots.size() - 1;
    const quint32 tag = tagOf(hash);
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot &slot = mSlots[i];
        if (slot.pos == kEmpty)
            return -1;
        if (slot.pos >= 0 && slot.tag == tag && namesEqual(mNames[size_t(slot.pos)], name))
            return qsizetype(i);
    }
}

void Hashlist::rebuildSlots(size_t capacity, const std::vector<qint32> *moved) const
{
    std::vector<Slot> old(capacity, Slot{0, kEmpty});
    old.swap(mSlots);
    mSlotsUsed = 0;
    const size_t mask = capacity - 1;
    for (const Slot &slot : old) {
        if (slot.pos < 0)
            continue;
        size_t i = slot.tag & mask;
        while (mSlots[i].pos != kEmpty)
            i = (i + 1) & mask;
        mSlots[i] = Slot{slot.tag, moved ? (*moved)[size_t(slot.pos)] : slot.pos};
        ++mSlotsUsed;
    }
}

QString Hashlist::value(const QString &name, size_t hash) const
{
    const qsizetype slot = findSlot(name, hash);
    return slot < 0 ? QString() : mValues[size_t(mSlots[size_t(slot)].pos)];
}

bool Hashlist::contains(const QString &name) const
{
    return findSlot(name, nameHash(name)) >= 0;
}

qsizetype Hashlist::setValue(const QString &name, const QString &value, size_t hash)
{
    if (value.isEmpty())
        return remove(name, hash);
    mChanged = true;
    if (4 * (mSlotsUsed + 1) > 3 * qsizetype(mSlots.size()))
        rebuildSlots(std::max<size_t>(16, 2 * std::bit_ceil(size_t(mLive + 1))));
    // One probe finds the line or the slot for a new one: the first removed
    // slot on the way, else the empty one that ends the probe.
    const size_t mask = mSlots.size() - 1;
    const quint32 tag = tagOf(hash);
    size_t free = mSlots.size();
    size_t i = hash & mask;
    for (;; i = (i + 1) & mask) {
        const Slot &slot = mSlots[i];
        if (slot.pos == kEmpty)
            break;
        if (slot.pos == kRemoved) {
            if (free == mSlots.size())
                free = i;
            continue;
        }
        if (slot.tag != tag)
            continue;
        QString &lineName = mNames[size_t(slot.pos)];
        if (!namesEqual(lineName, name))
            continue;
        const qsizetype pos = slot.pos;
        const bool respelled = mSearch && lineName != name;
        if (respelled)
            orderErase(lineName);
        lineName = name;
        if (respelled)
            orderInsert(pos);
        setValueAtPosition(pos, value);
        return pos;
    }
    if (free == mSlots.size()) {
        free = i;
        ++mSlotsUsed;
    }
    const qsizetype pos = qsizetype(mNames.size());
    mNames.push_back(name);
    mValues.append(value);
    ++mLive;
    mSlots[free] = Slot{tag, qint32(pos)};
    if (mSearch) {
        mSearch->addValue(pos, value);
        orderInsert(pos);
    }
    return pos;
}

void Hashlist::setValueAtPosition(qsizetype pos, const QString &value)
{
    Q_ASSERT(mValues.isAlive(size_t(pos)) && !value.isEmpty());
    mChanged = true;
    mValues.set(size_t(pos), value);
    if (mSearch) {
        mSearch->changeValue(pos, value);
        if (mSearch->isWorn())
            dropSearchIndex();
    }
}

qsizetype Hashlist::position(const QString &name, size_t hash) const
{
    const qsizetype slot = findSlot(name, hash);
    return slot < 0 ? -1 : mSlots[size_t(slot)].pos;
}

qsizetype Hashlist::restore(qsizetype pos, const QString &name, const QString &value, size_t hash)
{
    if (value.isEmpty())
        return -1;
    const bool placeKept = pos >= 0 && pos < qsizetype(mNames.size()) && !mValues.isAlive(size_t(pos))
        && namesEqual(mNames[size_t(pos)], name);
    if (!placeKept || findSlot(name, hash) >= 0)
        return setValue(name, value, hash);
    mChanged = true;
    if (4 * (mSlotsUsed + 1) > 3 * qsizetype(mSlots.size()))
        rebuildSlots(std::max<size_t>(16, 2 * std::bit_ceil(size_t(mLive + 1))));
    mNames[size_t(pos)] = name;
    mValues.set(size_t(pos), value);
    const size_t mask = mSlots.size() - 1;
    size_t i = hash & mask;
    while (mSlots[i].pos >= 0)
        i = (i + 1) & mask;
    if (mSlots[i].pos == kEmpty)
        ++mSlotsUsed;
    mSlots[i] = Slot{tagOf(hash), qint32(pos)};
    ++mLive;
    if (mSearch) {
        mSearch->addValue(pos, value);
        orderInsert(pos);
    }
    return pos;
}

qsizetype Hashlist::remove(const QString &name, size_t hash)
{
    const qsizetype slot = findSlot(name, hash);
    if (slot < 0)
        return -1;
    mChanged = true;
    const qsizetype pos = mSlots[size_t(slot)].pos;
    if (mSearch) {
        orderErase(mNames[size_t(pos)]);
        unindexValue(pos);
    }
    // The name stays for the positions a search gave out.
    mValues.set(size_t(pos), QString());
    mSlots[size_t(slot)].pos = kRemoved;
    --mLive;
    // Removed lines leave holes that are closed in bulk, so dropping a key
    // does not move every line after it.
    if (!mKeepRemoved && mNames.size() > 64 && qsizetype(mNames.size()) > 2 * mLive)
        compact();
    return pos;
}

void Hashlist::compact() const
{
    if (qsizetype(mNames.size()) == mLive)
        return;
    relayout();
    mChanged = true;
    // Positions change; the next search builds its index anew.
    dropSearchIndex();
    // Where each live line moves to once the removed ones are gone.
    std::vector<qint32> moved(mNames.size());
    qint32 next = 0;
    for (size_t pos = 0; pos < mNames.size(); ++pos) {
        moved[pos] = mValues.isAlive(pos) ? next++ : -1;
        if (moved[pos] >= 0 && size_t(moved[pos]) != pos)
            mNames[size_t(moved[pos])] = std::move(mNames[pos]);
    }
    mNames.resize(size_t(mLive));
    mValues.compact(moved, size_t(mLive));
    rebuildSlots(std::max<size_t>(16, 2 * std::bit_ceil(size_t(mLive + 1))), &moved);
}

void Hashlist::relayout() const
{
    if (mBeforeRelayout.call)
        mBeforeRelayout.call();
}

void Hashlist::reserve(qsizetype lines)
{
    if (lines > qsizetype(mNames.size())) {
        mNames.reserve(size_t(lines));
        mValues.reserve(size_t(lines));
    }
}

void Hashlist::clear()
{
    relayout();
    mChanged = true;
    mNames.clear();
    mValues.clear();
    mSlots.clear();
    mSlotsUsed = 0;
    mLive = 0;
    dropSearchIndex();
}

void Hashlist::swap(Hashlist &other) noexcept
{
    relayout();
    other.relayout();
    mGeneration = nextGeneration();
    other.mGeneration = nextGeneration();
    mChanged = other.mChanged = false;
    std::swap(mNames, other.mNames);
    mValues.swap(other.mValues);
    std::swap(mSlots, other.mSlots);
    std::swap(mSlotsUsed, other.mSlotsUsed);
    std::swap(mLive, other.mLive);
    std::swap(mSearch, other.mSearch);
}

qsizetype Hashlist::livePosition(qsizetype i) const
{
    if (qsizetype(mNames.size()) == mLive)
        return i;
    if (!mKeepRemoved) {
        compact();
        return i;
    }
    if (mLiveGeneration != generation()) {
        mLivePositions.clear();
        mLivePositions.reserve(size_t(mLive));
        for (size_t pos = 0; pos < mNames.size(); ++pos)
            if (mValues.isAlive(pos))
                mLivePositions.push_back(qint32(pos));
        mLiveGeneration = generation();
    }
    return i >= 0 && i < mLive ? mLivePositions[size_t(i)] : qsizetype(mNames.size());
}

const QString &Hashlist::nameAt(qsizetype i) const
{
    return mNames.at(size_t(livePosition(i)));
}

const QString &Hashlist::valueAt(qsizetype i) const
{
    return mValues.at(size_t(livePosition(i)));
}

QString Hashlist::lineAt(qsizetype i) const
{
    const size_t pos = size_t(livePosition(i));
    return mNames.at(pos) + QLatin1Char('=') + mValues[pos];
}

Hashlist::IndexBuild::IndexBuild() = default;
Hashlist::IndexBuild::~IndexBuild() = default;

void Hashlist::IndexBuild::run()
{
    mIndex = SearchIndex::build(mNames, mValues);
    mNames.clear();
    mValues.clear();
}

std::shared_ptr<Hashlist::IndexBuild> Hashlist::prepareSearchIndex() const
{
    if (mSearch)
        return nullptr;
    if (!mKeepRemoved)
        compact();
    auto build = std::make_shared<IndexBuild>();
    build->mGeneration = generation();
    build->mNames.reserve(mNames.size());
    build->mValues.reserve(mNames.size());
    return build;
}

bool Hashlist::takeSnapshot(IndexBuild &build, size_t lines) const
{
    if (!mKeepRemoved)
        compact();
    if (build.mGeneration != generation()) {
        build.mGeneration = generation();
        build.mNames.clear();
        build.mValues.clear();
    }
    // Each copy touches the text's reference count: a cache miss apiece.
    const size_t end = build.mNames.size() + std::min(lines, mNames.size() - build.mNames.size());
    for (size_t pos = build.mNames.size(); pos < end; ++pos) {
        build.mNames.push_back(mNames[pos]);
        build.mValues.push_back(mValues[pos]);
    }
    return end == mNames.size();
}

bool Hashlist::adoptSearchIndex(IndexBuild &build) const
{
    if (mSearch || !build.mIndex || build.mGeneration != generation())
        return false;
    mSearch = std::move(build.mIndex);
    return true;
}

std::vector<qint32> Hashlist::linesContaining(const QString &text) const
{
    const QByteArray needle = SearchIndex::lowered(text);
    if (needle.isEmpty())
        return {};
    ensureSearchIndex();
    return mSearch->find(needle);
}

std::vector<qint32> Hashlist::linesContainingInCase(const QString &text) const
{
    if (text.isEmpty())
        return {};
    ensureSearchIndex();
    return mSearch->findInCase(text, [this](qsizetype pos) -> const QString & { return mValues[size_t(pos)]; });
}

const std::vector<qint32> &Hashlist::linesInOrder() const
{
    ensureSearchIndex();
    return mSearch->order();
}

std::unique_ptr<SearchIndex> Hashlist::takeSearchIndex()
{
    return std::move(mSearch);
}

void Hashlist::putSearchIndex(std::unique_ptr<SearchIndex> index, const std::optional<std::vector<qsizetype>> &changed)
{
    // Positions given out stay valid only while removed lines are kept.
    if (!index || mSearch || !changed || !mKeepRemoved || index->lineCount() != qsizetype(mNames.size()))
        return;
    for (const qsizetype pos : *changed)
        if (pos < 0 || pos >= qsizetype(mNames.size()) || !mValues.isAlive(size_t(pos)))
            return;
    index->changeValues(*changed, [this](qsizetype pos) -> const QString & { return mValues[size_t(pos)]; });
    if (!index->isWorn())
        mSearch = std::move(index);
}

void Hashlist::ensureSearchIndex() const
{
    if (mSearch)
        return;
    const std::shared_ptr<IndexBuild> build = prepareSearchIndex();
    takeSnapshot(*build);
    build->run();
    adoptSearchIndex(*build);
}

void Hashlist::unindexValue(qsizetype pos) const
{
    mSearch->removeValue(pos);
    // Rebuilt by the next search once most of the buffer is garbage.
    if (mSearch->isWorn())
        dropSearchIndex();
}

void Hashlist::orderInsert(qsizetype pos) const
{
    mSearch->insertInOrder(qint32(pos), mNames[size_t(pos)],
        [this](qint32 p) -> const QString & { return mNames[size_t(p)]; });
}

void Hashlist::orderErase(const QString &name) const
{
    mSearch->eraseFromOrder(name, [this](qint32 p) -> const QString & { return mNames[size_t(p)]; });
}

void Hashlist::dropSearchIndex() const
{
    mSearch.reset();
}

} // namespace Wordloom

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
        if (slot.pos >= 0 && slot.tag == tag) {
            const Line &line = mLines[size_t(slot.pos)];
            if (namesEqual(line.name, name))
                return qsizetype(i);
        }
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
    return slot < 0 ? QString() : mLines[size_t(mSlots[size_t(slot)].pos)].value;
}

bool Hashlist::contains(const QString &name) const
{
    return findSlot(name, nameHash(name)) >= 0;
}

qsizetype Hashlist::setValue(const QString &name, const QString &value, size_t hash)
{
    if (value.isEmpty())
        return remove(name, hash);
    mGeneration = nextGeneration();
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
        Line &line = mLines[size_t(slot.pos)];
        if (!namesEqual(line.name, name))
            continue;
        const qsizetype pos = slot.pos;
        const bool respelled = mSearch && line.name != name;
        if (respelled)
            orderErase(line.name);
        line.name = name;
        if (respelled)
            orderInsert(pos);
        setValueAtPosition(pos, value);
        return pos;
    }
    if (free == mSlots.size()) {
        free = i;
        ++mSlotsUsed;
    }
    const qsizetype pos = qsizetype(mLines.size());
    mLines.push_back(Line{name, value});
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
    Q_ASSERT(mLines[size_t(pos)].alive() && !value.isEmpty());
    mGeneration = nextGeneration();
    mLines[size_t(pos)].value = value;
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
    Line *line = pos >= 0 && pos < qsizetype(mLines.size()) ? &mLines[size_t(pos)] : nullptr;
    if (!line || line->alive() || !namesEqual(line->name, name) || findSlot(name, hash) >= 0) {
        return setValue(name, value, hash);
    }
    mGeneration = nextGeneration();
    if (4 * (mSlotsUsed + 1) > 3 * qsizetype(mSlots.size()))
        rebuildSlots(std::max<size_t>(16, 2 * std::bit_ceil(size_t(mLive + 1))));
    line->name = name;
    line->value = value;
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
    mGeneration = nextGeneration();
    const qsizetype pos = mSlots[size_t(slot)].pos;
    if (mSearch) {
        orderErase(mLines[size_t(pos)].name);
        unindexValue(pos);
    }
    // The name stays for the positions a search gave out.
    mLines[size_t(pos)].value = QString();
    mSlots[size_t(slot)].pos = kRemoved;
    --mLive;
    // Removed lines leave holes that are closed in bulk, so dropping a key
    // does not move every line after it.
    if (!mKeepRemoved && mLines.size() > 64 && qsizetype(mLines.size()) > 2 * mLive)
        compact();
    return pos;
}

void Hashlist::compact() const
{
    if (qsizetype(mLines.size()) == mLive)
        return;
    relayout();
    mGeneration = nextGeneration();
    // Positions change; the next search builds its index anew.
    dropSearchIndex();
    // Where each live line moves to once the removed ones are gone.
    std::vector<qint32> moved(mLines.size());
    qint32 next = 0;
    for (size_t pos = 0; pos < mLines.size(); ++pos)
        moved[pos] = mLines[pos].alive() ? next++ : -1;
    std::erase_if(mLines, [](const Line &line) { return !line.alive(); });
    rebuildSlots(std::max<size_t>(16, 2 * std::bit_ceil(size_t(mLive + 1))), &moved);
}

void Hashlist::relayout() const
{
    if (mBeforeRelayout.call)
        mBeforeRelayout.call();
}

void Hashlist::reserve(qsizetype lines)
{
    if (lines > qsizetype(mLines.size()))
        mLines.reserve(size_t(lines));
}

void Hashlist::clear()
{
    relayout();
    mGeneration = nextGeneration();
    mLines.clear();
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
    std::swap(mLines, other.mLines);
    std::swap(mSlots, other.mSlots);
    std::swap(mSlotsUsed, other.mSlotsUsed);
    std::swap(mLive, other.mLive);
    std::swap(mSearch, other.mSearch);
}

qsizetype Hashlist::livePosition(qsizetype i) const
{
    if (qsizetype(mLines.size()) == mLive)
        return i;
    if (!mKeepRemoved) {
        compact();
        return i;
    }
    if (mLiveGeneration != mGeneration) {
        mLivePositions.clear();
        mLivePositions.reserve(size_t(mLive));
        for (size_t pos = 0; pos < mLines.size(); ++pos)
            if (mLines[pos].alive())
                mLivePositions.push_back(qint32(pos));
        mLiveGeneration = mGeneration;
    }
    return i >= 0 && i < mLive ? mLivePositions[size_t(i)] : qsizetype(mLines.size());
}

const QString &Hashlist::nameAt(qsizetype i) const
{
    return mLines.at(size_t(livePosition(i))).name;
}

const QString &Hashlist::valueAt(qsizetype i) const
{
    return mLines.at(size_t(livePosition(i))).value;
}

QString Hashlist::lineAt(qsizetype i) const
{
    const Line &line = mLines.at(size_t(livePosition(i)));
    return line.name + QLatin1Char('=') + line.value;
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
    build->mGeneration = mGeneration;
    build->mNames.reserve(mLines.size());
    build->mValues.reserve(mLines.size());
    for (const Line &line : mLines) {
        build->mNames.push_back(line.name);
        build->mValues.push_back(line.value);
    }
    return build;
}

bool Hashlist::adoptSearchIndex(IndexBuild &build) const
{
    if (mSearch || !build.mIndex || build.mGeneration != mGeneration)
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
    std::vector<qint32> hits = linesContaining(text);
    return hits.empty() ? hits : mSearch->withCaseLetters(std::move(hits), text);
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
    if (!index || mSearch || !changed || !mKeepRemoved || index->lineCount() != qsizetype(mLines.size()))
        return;
    for (const qsizetype pos : *changed)
        if (pos < 0 || pos >= qsizetype(mLines.size()) || !mLines[size_t(pos)].alive())
            return;
    index->changeValues(*changed, [this](qsizetype pos) -> const QString & { return mLines[size_t(pos)].value; });
    if (!index->isWorn())
        mSearch = std::move(index);
}

void Hashlist::ensureSearchIndex() const
{
    if (mSearch)
        return;
    const std::shared_ptr<IndexBuild> build = prepareSearchIndex();
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
    mSearch->insertInOrder(qint32(pos), mLines[size_t(pos)].name,
        [this](qint32 p) -> const QString & { return mLines[size_t(p)].name; });
}

void Hashlist::orderErase(const QString &name) const
{
    mSearch->eraseFromOrder(name, [this](qint32 p) -> const QString & { return mLines[size_t(p)].name; });
}

void Hashlist::dropSearchIndex() const
{
    mSearch.reset();
}

} // namespace Wordloom

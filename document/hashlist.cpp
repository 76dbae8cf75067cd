#include "document/hashlist.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Wordloom {

namespace {

// Reads the code point at i and moves i past it; a lone surrogate stands
// for itself.
inline char32_t nextCodePoint(QStringView text, qsizetype &i)
{
    const char16_t c = text[i++].unicode();
    if (QChar::isHighSurrogate(c) && i < text.size() && QChar::isLowSurrogate(text[i].unicode()))
        return QChar::surrogateToUcs4(c, text[i++].unicode());
    return c;
}

// Unique over all lists, so an index built for one list never fits another.
quint64 nextGeneration()
{
    static std::atomic<quint64> counter{0};
    return ++counter;
}

inline char32_t foldCodePoint(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

} // namespace

// Every value lowered, in UTF-8, one after the other in one buffer with a
// NUL after each, so one pass of memmem searches them all. A changed or
// removed value's bytes are zeroed and its new form appended.
struct SearchIndex {
    QByteArray text;
    // Where each value starts, in buffer order, and its line.
    std::vector<std::pair<qsizetype, qsizetype>> starts;
    // Line position -> start in the buffer, or -1.
    std::vector<qsizetype> startOf;
    // Line positions in name order.
    std::vector<qint32> order;
    qsizetype garbage = 0;
    // The last search's text and hits (line positions in name order): a
    // text containing it only has to look at those lines.
    QByteArray lastNeedle;
    std::vector<qint32> lastHits;
};

int compareNames(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive);
}

bool namesEqual(QStringView a, QStringView b)
{
    // The same spelling is by far the most common case.
    if (a.size() == b.size() && a == b)
        return true;
    return compareNames(a, b) == 0;
}

size_t nameHash(QStringView name, size_t seed)
{
    size_t h = seed ^ 0x9e3779b97f4a7c15ULL;
    for (qsizetype i = 0; i < name.size();) {
        const char16_t unit = name[i].unicode();
        // ASCII, the common case, skips the surrogate check.
        const char32_t c = unit < 0x80 ? (++i, char32_t(unit)) : nextCodePoint(name, i);
        h ^= foldCodePoint(c);
        h *= 0x100000001b3ULL;
    }
    // The multiply carries a character only upwards; mixing the high bits
    // down spreads names over a table indexed by the low ones.
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ULL;
    h ^= h >> 32;
    return h;
}

namespace {

inline quint32 tagOf(size_t hash)
{
    return quint32(hash >> 32);
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
            if (line.hash == hash && namesEqual(line.name, name))
                return qsizetype(i);
        }
    }
}

void Hashlist::rebuildSlots(size_t capacity) const
{
    mSlots.assign(capacity, Slot{0, kEmpty});
    mSlotsUsed = 0;
    const size_t mask = capacity - 1;
    for (size_t pos = 0; pos < mLines.size(); ++pos) {
        const Line &line = mLines[pos];
        if (!line.alive())
            continue;
        size_t i = line.hash & mask;
        while (mSlots[i].pos != kEmpty)
            i = (i + 1) & mask;
        mSlots[i] = Slot{tagOf(line.hash), qint32(pos)};
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
        if (line.hash != hash || !namesEqual(line.name, name))
            continue;
        const qsizetype pos = slot.pos;
        const bool respelled = mSearch && line.name != name;
        if (respelled)
            orderErase(line.name);
        line.name = name;
        line.value = value;
        if (respelled)
            orderInsert(pos);
        if (mSearch)
            unindexValue(pos);
        if (mSearch)
            indexValue(pos);
        return pos;
    }
    if (free == mSlots.size()) {
        free = i;
        ++mSlotsUsed;
    }
    const qsizetype pos = qsizetype(mLines.size());
    mLines.push_back(Line{name, value, hash});
    ++mLive;
    mSlots[free] = Slot{tag, qint32(pos)};
    if (mSearch) {
        mSearch->startOf.push_back(-1);
        indexValue(pos);
        orderInsert(pos);
    }
    return pos;
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
    if (!line || line->alive() || line->hash != hash || !namesEqual(line->name, name) || findSlot(name, hash) >= 0) {
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
        indexValue(pos);
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
    std::erase_if(mLines, [](const Line &line) { return !line.alive(); });
    rebuildSlots(std::max<size_t>(16, 2 * std::bit_ceil(size_t(mLive + 1))));
}

void Hashlist::relayout() const
{
    if (mBeforeRelayout.call)
        mBeforeRelayout.call();
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

namespace {

// Appends the text lowered, in UTF-8; a NUL becomes 0x01, as a NUL ends a
// value in the buffer.
void appendLowered(QStringView text, QByteArray &out)
{
    for (qsizetype i = 0; i < text.size();) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            out.append(char(unit == 0 ? 1 : (unit >= 'A' && unit <= 'Z') ? unit + 32 : unit));
            ++i;
            continue;
        }
        const char32_t c = QChar::toLower(nextCodePoint(text, i));
        if (c < 0x800) {
            out.append(char(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            out.append(char(0xE0 | (c >> 12)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
        } else {
            out.append(char(0xF0 | (c >> 18)));
            out.append(char(0x80 | ((c >> 12) & 0x3F)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
        }
        out.append(char(0x80 | (c & 0x3F)));
    }
}

QByteArray loweredUtf8(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    appendLowered(text, out);
    return out;
}

// The first place of the needle in the bytes, or nullptr. memmem is slow
// for short needles of common letters; comparing the needle's first and
// last byte at 16 places at once leaves few places to check in full.
const char *findBytes(const char *bytes, size_t size, const char *needle, size_t length)
{
#if defined(__SSE2__)
    if (length >= 2) {
        const __m128i first = _mm_set1_epi8(needle[0]);
        const __m128i last = _mm_set1_epi8(needle[length - 1]);
        size_t i = 0;
        for (; i + length - 1 + 16 <= size; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i + length - 1));
            unsigned mask
                = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
            for (; mask; mask &= mask - 1) {
                const char *at = bytes + i + unsigned(__builtin_ctz(mask));
                if (memcmp(at + 1, needle + 1, length - 2) == 0)
                    return at;
            }
        }
        return static_cast<const char *>(memmem(bytes + i, size - i, needle, length));
    }
#endif
    return static_cast<const char *>(memmem(bytes, size, needle, length));
}

// Marks the lines whose value holds the needle, for the part [from, to) of
// the buffer, which begins at a value's start.
void scan(const SearchIndex &index, const QByteArray &needle, qsizetype from, qsizetype to, std::vector<char> &hit)
{
    if (index.starts.empty())
        return;
    const char *begin = index.text.constData();
    const char *end = begin + to;
    auto start = std::upper_bound(index.starts.begin(), index.starts.end(), from,
                     [](qsizetype o, const std::pair<qsizetype, qsizetype> &s) { return o < s.first; })
        - 1;
    for (const char *at = begin + from; at < end;) {
        const char *found = findBytes(at, size_t(end - at), needle.constData(), size_t(needle.size()));
        if (!found)
            break;
        const qsizetype offset = found - begin;
        // Hits come in buffer order: the value holding this one is found by
        // walking on from the last.
        while (start + 1 != index.starts.end() && (start + 1)->first <= offset)
            ++start;
        hit[size_t(start->second)] = 1;
        // On to the value after this one: one hit per line is enough.
        if (start + 1 == index.starts.end())
            break;
        at = begin + (start + 1)->first;
    }
}

} // namespace

Hashlist::IndexBuild::IndexBuild() = default;
Hashlist::IndexBuild::~IndexBuild() = default;

void Hashlist::IndexBuild::run()
{
    auto index = std::make_unique<SearchIndex>();
    const size_t n = mValues.size();
    qsizetype total = 0;
    for (const QString &value : mValues)
        total += value.size() + 1;
    index->text.reserve(total + total / 8);
    index->startOf.resize(n);
    index->starts.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const qsizetype start = index->text.size();
        appendLowered(mValues[i], index->text);
        index->text.append('\0');
        index->starts.emplace_back(start, qsizetype(i));
        index->startOf[i] = start;
    }
    struct Entry {
        QString folded;
        qsizetype pos;
    };
    std::vector<Entry> entries;
    entries.reserve(n);
    // Removed lines kept in place are never hits and stay out of the order.
    for (size_t i = 0; i < n; ++i)
        if (!mValues[i].isEmpty())
            entries.push_back(Entry{mNames[i].toCaseFolded(), qsizetype(i)});
    // Names are unique ignoring case, so the folded names decide the order.
    std::sort(entries.begin(), entries.end(),
        [](const Entry &a, const Entry &b) { return a.folded.compare(b.folded, Qt::CaseSensitive) < 0; });
    index->order.reserve(n);
    for (const Entry &entry : entries)
        index->order.push_back(qint32(entry.pos));
    mIndex = std::move(index);
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
    // UTF-8 is self-synchronizing, so a byte search finds exactly the
    // character substrings; no value holds a NUL, so no hit spans two.
    const QByteArray needle = loweredUtf8(text);
    if (needle.isEmpty())
        return {};
    ensureSearchIndex();
    SearchIndex &index = *mSearch;
    std::vector<qint32> hits;
    // Narrowing reads the last hits' values out of order; for many hits a
    // scan of the whole buffer in order is quicker.
    if (!index.lastNeedle.isEmpty() && needle.contains(index.lastNeedle) && index.lastHits.size() * 8 < mLines.size()) {
        const std::vector<qint32> &last = index.lastHits;
        for (size_t i = 0; i < last.size(); ++i) {
            if (i + 8 < last.size())
                __builtin_prefetch(index.text.constData() + index.startOf[size_t(last[i + 8])]);
            if (std::strstr(index.text.constData() + index.startOf[size_t(last[i])], needle.constData()))
                hits.push_back(last[i]);
        }
    } else {
        std::vector<char> hit(mLines.size());
        const qsizetype size = index.text.size();
        // A large buffer is searched in two halves at once, cut after a NUL.
        const char *middle = size > (8 << 20)
            ? static_cast<const char *>(memchr(index.text.constData() + size / 2, 0, size_t(size - size / 2)))
            : nullptr;
        if (middle) {
            const qsizetype cut = middle + 1 - index.text.constData();
            std::thread second([&] { scan(index, needle, cut, size, hit); });
            scan(index, needle, 0, cut, hit);
            second.join();
        } else {
            scan(index, needle, 0, size, hit);
        }
        for (const qint32 pos : index.order)
            if (hit[size_t(pos)])
                hits.push_back(pos);
    }
    index.lastNeedle = needle;
    index.lastHits = hits;
    return hits;
}

void Hashlist::ensureSearchIndex() const
{
    if (mSearch)
        return;
    const std::shared_ptr<IndexBuild> build = prepareSearchIndex();
    build->run();
    adoptSearchIndex(*build);
}

void Hashlist::indexValue(qsizetype pos) const
{
    SearchIndex &index = *mSearch;
    const qsizetype start = index.text.size();
    appendLowered(mLines[size_t(pos)].value, index.text);
    index.text.append('\0');
    index.starts.emplace_back(start, pos);
    index.startOf[size_t(pos)] = start;
    index.lastNeedle.clear();
}

void Hashlist::unindexValue(qsizetype pos) const
{
    SearchIndex &index = *mSearch;
    index.lastNeedle.clear();
    const qsizetype start = index.startOf[size_t(pos)];
    if (start < 0)
        return;
    char *bytes = index.text.data() + start;
    const qsizetype length = qsizetype(strlen(bytes));
    memset(bytes, 0, size_t(length));
    index.startOf[size_t(pos)] = -1;
    index.garbage += length + 1;
    // Rebuilt by the next search once most of the buffer is garbage.
    if (index.garbage > (1 << 20) && index.garbage > index.text.size() / 2)
        dropSearchIndex();
}

void Hashlist::orderInsert(qsizetype pos) const
{
    std::vector<qint32> &order = mSearch->order;
    mSearch->lastNeedle.clear();
    const QString &name = mLines[size_t(pos)].name;
    const auto at = std::lower_bound(order.begin(), order.end(), name,
        [this](qint32 p, const QString &n) { return compareNames(mLines[size_t(p)].name, n) < 0; });
    order.insert(at, qint32(pos));
}

void Hashlist::orderErase(const QString &name) const
{
    std::vector<qint32> &order = mSearch->order;
    mSearch->lastNeedle.clear();
    const auto at = std::lower_bound(order.begin(), order.end(), name,
        [this](qint32 p, const QString &n) { return compareNames(mLines[size_t(p)].name, n) < 0; });
    if (at != order.end())
        order.erase(at);
}

void Hashlist::dropSearchIndex() const
{
    mSearch.reset();
}

} // namespace Wordloom

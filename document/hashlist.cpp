#include "document/hashlist.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

inline char32_t foldCodePoint(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

} // namespace

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

QString lowerText(const QString &text)
{
    const QChar *data = text.constData();
    const qsizetype size = text.size();
    qsizetype i = 0;
    for (; i < size; ++i) {
        const char16_t c = data[i].unicode();
        if (c >= 0x80 || (c >= 'A' && c <= 'Z'))
            break;
    }
    if (i == size)
        return text;
    // Lower-casing a code point never needs more than two UTF-16 units per unit read.
    QString result(2 * size, Qt::Uninitialized);
    QChar *out = result.data();
    std::copy(data, data + i, out);
    qsizetype o = i;
    const QStringView view(text);
    while (i < size) {
        const char16_t unit = data[i].unicode();
        if (unit < 0x80) {
            out[o++] = QChar(char16_t((unit >= 'A' && unit <= 'Z') ? unit + 32 : unit));
            ++i;
            continue;
        }
        const char32_t lower = QChar::toLower(nextCodePoint(view, i));
        if (QChar::requiresSurrogates(lower)) {
            out[o++] = QChar(QChar::highSurrogate(lower));
            out[o++] = QChar(QChar::lowSurrogate(lower));
        } else {
            out[o++] = QChar(char16_t(lower));
        }
    }
    result.truncate(o);
    return result;
}

namespace {

inline quint32 tagOf(size_t hash)
{
    return quint32(hash >> 32);
}

} // namespace

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
        if (!line.alive)
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

void Hashlist::setValue(const QString &name, const QString &value, size_t hash)
{
    if (value.isEmpty()) {
        remove(name, hash);
        return;
    }
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
        return;
    }
    if (free == mSlots.size()) {
        free = i;
        ++mSlotsUsed;
    }
    const qsizetype pos = qsizetype(mLines.size());
    mLines.push_back(Line{name, value, hash, true});
    ++mLive;
    mSlots[free] = Slot{tag, qint32(pos)};
    if (mSearch) {
        mSearch->startOf.push_back(-1);
        indexValue(pos);
        orderInsert(pos);
    }
}

void Hashlist::remove(const QString &name, size_t hash)
{
    const qsizetype slot = findSlot(name, hash);
    if (slot < 0)
        return;
    const qsizetype pos = mSlots[size_t(slot)].pos;
    if (mSearch) {
        orderErase(mLines[size_t(pos)].name);
        unindexValue(pos);
    }
    mLines[size_t(pos)] = Line{QString(), QString(), 0, false};
    mSlots[size_t(slot)].pos = kRemoved;
    --mLive;
    // Removed lines leave holes that are closed in bulk, so dropping a key
    // does not move every line after it.
    if (mLines.size() > 64 && qsizetype(mLines.size()) > 2 * mLive)
        compact();
}

void Hashlist::compact() const
{
    if (qsizetype(mLines.size()) == mLive)
        return;
    // Positions change; the next search builds its index anew.
    dropSearchIndex();
    std::erase_if(mLines, [](const Line &line) { return !line.alive; });
    rebuildSlots(std::max<size_t>(16, 2 * std::bit_ceil(size_t(mLive + 1))));
}

void Hashlist::clear()
{
    mLines.clear();
    mSlots.clear();
    mSlotsUsed = 0;
    mLive = 0;
    dropSearchIndex();
}

void Hashlist::swap(Hashlist &other) noexcept
{
    std::swap(mLines, other.mLines);
    std::swap(mSlots, other.mSlots);
    std::swap(mSlotsUsed, other.mSlotsUsed);
    std::swap(mLive, other.mLive);
    std::swap(mSearch, other.mSearch);
}

const QString &Hashlist::nameAt(qsizetype i) const
{
    compact();
    return mLines.at(size_t(i)).name;
}

const QString &Hashlist::valueAt(qsizetype i) const
{
    compact();
    return mLines.at(size_t(i)).value;
}

QString Hashlist::lineAt(qsizetype i) const
{
    compact();
    const Line &line = mLines.at(size_t(i));
    return line.name + QLatin1Char('=') + line.value;
}

QStringList Hashlist::namesContaining(const QString &text) const
{
    QStringList names;
    // UTF-8 is self-synchronizing, so a byte search finds exactly the
    // character substrings; no value holds a NUL, so no hit spans two.
    const QByteArray needle = lowerText(text).toUtf8();
    if (needle.isEmpty())
        return names;
    ensureSearchIndex();
    const SearchIndex &index = *mSearch;
    const char *begin = index.text.constData();
    const char *end = begin + index.text.size();
    std::vector<bool> hit(mLines.size());
    qsizetype hits = 0;
    for (const char *at = begin; at < end;) {
        const void *found = memmem(at, size_t(end - at), needle.constData(), size_t(needle.size()));
        if (!found)
            break;
        const qsizetype offset = static_cast<const char *>(found) - begin;
        // The value holding the hit is the last one starting at or before it.
        const auto span = std::upper_bound(index.starts.begin(), index.starts.end(), offset,
                              [](qsizetype o, const std::pair<qsizetype, qsizetype> &s) { return o < s.first; })
            - 1;
        hit[size_t(span->second)] = true;
        ++hits;
        // On to the value after this one: one hit per line is enough.
        at = static_cast<const char *>(memchr(found, 0, size_t(end - static_cast<const char *>(found))));
        if (!at)
            break;
        ++at;
    }
    names.reserve(hits);
    for (const qsizetype pos : index.order)
        if (hit[size_t(pos)])
            names.append(mLines[size_t(pos)].name);
    return names;
}

void Hashlist::ensureSearchIndex() const
{
    if (mSearch)
        return;
    compact();
    mSearch = std::make_unique<SearchIndex>();
    mSearch->startOf.assign(mLines.size(), -1);
    struct Entry {
        QString folded;
        qsizetype pos;
    };
    std::vector<Entry> entries;
    entries.reserve(mLines.size());
    for (qsizetype i = 0; i < qsizetype(mLines.size()); ++i) {
        indexValue(i);
        entries.push_back(Entry{mLines[size_t(i)].name.toCaseFolded(), i});
    }
    // Names are unique ignoring case, so the folded names decide the order.
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.folded.compare(b.folded, Qt::CaseSensitive) < 0;
    });
    mSearch->order.reserve(entries.size());
    for (const Entry &entry : entries)
        mSearch->order.push_back(entry.pos);
}

void Hashlist::indexValue(qsizetype pos) const
{
    SearchIndex &index = *mSearch;
    const qsizetype start = index.text.size();
    QByteArray lowered = lowerText(mLines[size_t(pos)].value).toUtf8();
    // NUL ends a value in the buffer; XML cannot hold one, but stay safe.
    lowered.replace('\0', '\x01');
    index.text.append(lowered);
    index.text.append('\0');
    index.starts.emplace_back(start, pos);
    index.startOf[size_t(pos)] = start;
}

void Hashlist::unindexValue(qsizetype pos) const
{
    SearchIndex &index = *mSearch;
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
    std::vector<qsizetype> &order = mSearch->order;
    const QString &name = mLines[size_t(pos)].name;
    const auto at = std::lower_bound(order.begin(), order.end(), name, [this](qsizetype p, const QString &n) {
        return compareNames(mLines[size_t(p)].name, n) < 0;
    });
    order.insert(at, pos);
}

void Hashlist::orderErase(const QString &name) const
{
    std::vector<qsizetype> &order = mSearch->order;
    const auto at = std::lower_bound(order.begin(), order.end(), name, [this](qsizetype p, const QString &n) {
        return compareNames(mLines[size_t(p)].name, n) < 0;
    });
    if (at != order.end())
        order.erase(at);
}

void Hashlist::dropSearchIndex() const
{
    mSearch.reset();
}

} // namespace Wordloom

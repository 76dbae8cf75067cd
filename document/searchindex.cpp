#include "document/searchindex.h"

#include "document/hashlist.h"
#include "document/workerpool.h"

#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Wordloom {

namespace {

// Sets the bit of a byte in bits over a buffer.
inline void markByte(std::vector<quint64> &bits, qsizetype at)
{
    bits[size_t(at >> 6)] |= quint64(1) << (at & 63);
}

// The 64 bits from the bit at on; the bits end with a spare word.
inline quint64 bitsFrom(const std::vector<quint64> &bits, qsizetype at)
{
    const size_t word = size_t(at >> 6);
    const unsigned shift = unsigned(at & 63);
    const quint64 low = bits[word] >> shift;
    return shift == 0 ? low : low | (bits[word + 1] << (64 - shift));
}

// Appends the text lowered, in UTF-8; a NUL becomes 0x01, as a NUL ends a
// value in the buffer. Written through a pointer into room made first: a
// unit takes at most three bytes. Marks in changed, over the bytes of out,
// those of the characters lowering changed (and of a NUL); odd turns true
// for a character other than the upper case of its lowered form, which
// the marks cannot tell from that.
void appendLowered(QStringView text, QByteArray &out, std::vector<quint64> *changed = nullptr, bool *odd = nullptr)
{
    const qsizetype start = out.size();
    out.resize(start + 3 * text.size());
    char *const base = out.data();
    char *to = base + start;
    if (changed)
        changed->resize(std::max(changed->size(), size_t((start + 3 * text.size() + 1) >> 6) + 2));
    for (qsizetype i = 0; i < text.size();) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            const bool upper = unsigned(unit) - 'A' < 26u;
            if (changed && (upper || unit == 0))
                markByte(*changed, to - base);
            *to++ = char(unit == 0 ? 1 : upper ? unit + 32 : unit);
            ++i;
            continue;
        }
        const char32_t original = nextCodePoint(text, i);
        const char32_t c = QChar::toLower(original);
        char *const first = to;
        // Some characters lower to ASCII, such as the Kelvin sign.
        if (c < 0x80) {
            *to++ = char(c);
        } else {
            if (c < 0x800) {
                *to++ = char(0xC0 | (c >> 6));
            } else if (c < 0x10000) {
                *to++ = char(0xE0 | (c >> 12));
                *to++ = char(0x80 | ((c >> 6) & 0x3F));
            } else {
                *to++ = char(0xF0 | (c >> 18));
                *to++ = char(0x80 | ((c >> 12) & 0x3F));
                *to++ = char(0x80 | ((c >> 6) & 0x3F));
            }
            *to++ = char(0x80 | (c & 0x3F));
        }
        if (changed && c != original) {
            for (char *at = first; at != to; ++at)
                markByte(*changed, at - base);
            if (odd && QChar::toUpper(c) != original)
                *odd = true;
        }
    }
    out.resize(to - out.constData());
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

// A buffer this large is searched in two halves at once.
constexpr qsizetype kSplitSize = 8 << 20;

} // namespace

std::unique_ptr<SearchIndex> SearchIndex::build(const std::vector<QString> &names, const std::vector<QString> &values)
{
    auto index = std::make_unique<SearchIndex>();
    const size_t n = values.size();
    const auto lower = [&] {
        qsizetype total = 0;
        for (const QString &value : values)
            total += value.size() + 1;
        index->mText.reserve(total + total / 8);
        index->mChanged.reserve(size_t((total + total / 8) >> 6) + 2);
        index->mStartOf.resize(n);
        index->mOdd.resize(n);
        index->mStarts.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            const qsizetype start = index->mText.size();
            bool odd = false;
            appendLowered(values[i], index->mText, &index->mChanged, &odd);
            index->mOdd[i] = odd;
            index->mText.append('\0');
            index->mStarts.emplace_back(start, qsizetype(i));
            index->mStartOf[i] = start;
        }
    };
    const auto order = [&] {
        struct Entry {
            QString folded;
            qint32 pos;
        };
        std::vector<Entry> entries;
        entries.reserve(n);
        // Removed lines kept in place are never hits and stay out of the order.
        for (size_t i = 0; i < n; ++i)
            if (!values[i].isEmpty())
                entries.push_back(Entry{nameKey(names[i]), qint32(i)});
        // Names are unique ignoring case, so their keys decide the order.
        std::sort(entries.begin(), entries.end(),
            [](const Entry &a, const Entry &b) { return a.folded.compare(b.folded, Qt::CaseSensitive) < 0; });
        index->mOrder.reserve(entries.size());
        for (const Entry &entry : entries)
            index->mOrder.push_back(entry.pos);
    };
    runSideBySide(lower, order);
    return index;
}

QByteArray SearchIndex::lowered(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    appendLowered(text, out);
    return out;
}

bool SearchIndex::containsInCase(QStringView text, QStringView needle)
{
    // The places of the needle's first unit are found many at a time, and
    // only there is the rest compared.
    const QChar first = needle.front();
    const qsizetype last = text.size() - needle.size();
    for (qsizetype at = text.indexOf(first); at >= 0 && at <= last; at = text.indexOf(first, at + 1))
        if (text.mid(at, needle.size()) == needle)
            return true;
    return false;
}

bool SearchIndex::holdsAt(qsizetype at, qsizetype pos, const Needle &needle) const
{
    if (!needle.inCase || mOdd[size_t(pos)])
        return true;
    const qsizetype n = needle.bytes.size();
    for (qsizetype i = 0; i < n; i += 64) {
        const quint64 mask = n - i >= 64 ? ~quint64(0) : (quint64(1) << (n - i)) - 1;
        if ((bitsFrom(mChanged, at + i) ^ needle.changed[size_t(i >> 6)]) & mask)
            return false;
    }
    return true;
}

void SearchIndex::scan(const Needle &needle, qsizetype from, qsizetype to, std::vector<char> &hit) const
{
    if (mStarts.empty())
        return;
    const char *begin = mText.constData();
    const char *end = begin + to;
    auto start = std::upper_bound(mStarts.begin(), mStarts.end(), from,
                     [](qsizetype o, const std::pair<qsizetype, qsizetype> &s) { return o < s.first; })
        - 1;
    for (const char *at = begin + from; at < end;) {
        const char *found = findBytes(at, size_t(end - at), needle.bytes.constData(), size_t(needle.bytes.size()));
        if (!found)
            break;
        const qsizetype offset = found - begin;
        // Hits come in buffer order: the value holding this one is found by
        // walking on from the last.
        while (start + 1 != mStarts.end() && (start + 1)->first <= offset)
            ++start;
        // Not in its case here: the value may hold it further on.
        if (!holdsAt(offset, start->second, needle)) {
            at = found + 1;
            continue;
        }
        hit[size_t(start->second)] = 1;
        // On to the value after this one: one hit per line is enough.
        if (start + 1 == mStarts.end())
            break;
        at = begin + (start + 1)->first;
    }
}

std::vector<qint32> SearchIndex::find(const QByteArray &needle)
{
    return search(Needle{needle, {}, false}, {});
}

std::vector<qint32> SearchIndex::findInCase(QStringView text, const ValueAt &valueAt)
{
    Needle needle{QByteArray(), {}, true};
    bool odd = false;
    appendLowered(text, needle.bytes, &needle.changed, &odd);
    // For an odd needle the marks cannot decide: every value holding it
    // lowered is compared, as are the odd values the marks let through.
    needle.inCase = !odd;
    std::vector<qint32> hits = search(needle, odd ? QString() : text.toString());
    std::erase_if(hits, [&](qint32 pos) { return (odd || mOdd[size_t(pos)]) && !containsInCase(valueAt(pos), text); });
    return hits;
}

std::vector<qint32> SearchIndex::search(const Needle &needle, const QString &text)
{
    // UTF-8 is self-synchronizing, so a byte search finds exactly the
    // character substrings; no value holds a NUL, so no hit spans two.
    std::vector<qint32> hits;
    if (needle.bytes.isEmpty())
        return hits;
    // A needle holding the last one, in its case when that counts, only
    // looks at the last hits. Narrowing reads them out of order; for many
    // hits a scan of the whole buffer in order is quicker. A last text
    // with half a surrogate pair at an end may sit inside a whole pair,
    // which the index holds as another character.
    const auto holdsLast = [&] {
        if (!needle.inCase)
            return needle.bytes.contains(mLastNeedle);
        return !mLastText.front().isLowSurrogate() && !mLastText.back().isHighSurrogate() && text.contains(mLastText);
    };
    const bool narrow = !mLastNeedle.isEmpty() && mLastInCase == needle.inCase && holdsLast()
        && mLastHits.size() * 8 < mStartOf.size();
    if (narrow) {
        const char *bytes = mText.constData();
        for (size_t i = 0; i < mLastHits.size(); ++i) {
            if (i + 8 < mLastHits.size())
                __builtin_prefetch(bytes + mStartOf[size_t(mLastHits[i + 8])]);
            const qint32 pos = mLastHits[i];
            for (const char *at = std::strstr(bytes + mStartOf[size_t(pos)], needle.bytes.constData()); at;
                 at = std::strstr(at + 1, needle.bytes.constData())) {
                if (holdsAt(at - bytes, pos, needle)) {
                    hits.push_back(pos);
                    break;
                }
            }
        }
    } else {
        std::vector<char> hit(mStartOf.size());
        const qsizetype size = mText.size();
        // The halves are cut after a NUL, so no value is split.
        const char *middle = size > kSplitSize
            ? static_cast<const char *>(memchr(mText.constData() + size / 2, 0, size_t(size - size / 2)))
            : nullptr;
        if (middle) {
            const qsizetype cut = middle + 1 - mText.constData();
            runSideBySide([&] { scan(needle, 0, cut, hit); }, [&] { scan(needle, cut, size, hit); });
        } else {
            scan(needle, 0, size, hit);
        }
        for (const qint32 pos : mOrder)
            if (hit[size_t(pos)])
                hits.push_back(pos);
    }
    mLastNeedle = needle.bytes;
    mLastText = text;
    mLastInCase = needle.inCase;
    mLastHits = hits;
    return hits;
}

void SearchIndex::addValue(qsizetype pos, QStringView value)
{
    if (size_t(pos) >= mStartOf.size()) {
        mStartOf.resize(size_t(pos) + 1, -1);
        mOdd.resize(size_t(pos) + 1);
    }
    const qsizetype start = mText.size();
    bool odd = false;
    appendLowered(value, mText, &mChanged, &odd);
    mOdd[size_t(pos)] = odd;
    mText.append('\0');
    mStarts.emplace_back(start, pos);
    mStartOf[size_t(pos)] = start;
    mLastNeedle.clear();
}

bool SearchIndex::rewrite(char *bytes, qsizetype pos, QStringView value, qsizetype &freed)
{
    const qsizetype start = mStartOf[size_t(pos)];
    if (start < 0)
        return false;
    thread_local QByteArray scratch;
    thread_local std::vector<quint64> marks;
    scratch.resize(0);
    marks.clear();
    bool odd = false;
    appendLowered(value, scratch, &marks, &odd);
    char *old = bytes + start;
    const qsizetype length = qsizetype(strlen(old));
    // A very long value's room is not kept for the thread's lifetime.
    const auto release = qScopeGuard([] {
        if (scratch.capacity() > (1 << 20)) {
            scratch = QByteArray();
            marks = std::vector<quint64>();
        }
    });
    if (scratch.size() > length)
        return false;
    mOdd[size_t(pos)] = odd;
    marks.resize(std::max(marks.size(), size_t(length >> 6) + 2));
    putMarks(start, length, marks);
    // A change of letter case alone leaves the lowered bytes as they were.
    if (scratch.size() == length && memcmp(old, scratch.constData(), size_t(length)) == 0)
        return true;
    memcpy(old, scratch.constData(), size_t(scratch.size()));
    memset(old + scratch.size(), 0, size_t(length - scratch.size()));
    freed += length - scratch.size();
    return true;
}

void SearchIndex::putMarks(qsizetype at, qsizetype n, const std::vector<quint64> &marks)
{
    // Lines rewritten at once may share a word of marks at their ends: its
    // bits are cleared and set atomically. A whole word is this line's.
    for (qsizetype i = 0; i < n;) {
        const qsizetype to = at + i;
        const unsigned shift = unsigned(to & 63);
        const qsizetype count = std::min<qsizetype>(64 - shift, n - i);
        quint64 &word = mChanged[size_t(to >> 6)];
        if (count == 64) {
            word = bitsFrom(marks, i);
        } else {
            const quint64 mask = ((quint64(1) << count) - 1) << shift;
            const quint64 bits = (bitsFrom(marks, i) << shift) & mask;
            std::atomic_ref<quint64> shared(word);
            shared.fetch_and(~mask | bits, std::memory_order_relaxed);
            shared.fetch_or(bits, std::memory_order_relaxed);
        }
        i += count;
    }
}

void SearchIndex::changeValue(qsizetype pos, QStringView value)
{
    mLastNeedle.clear();
    if (!rewrite(mText.data(), pos, value, mGarbage)) {
        removeValue(pos);
        addValue(pos, value);
    }
}

void SearchIndex::changeValues(const std::vector<qsizetype> &positions, const ValueAt &valueAt)
{
    mLastNeedle.clear();
    // Each half takes the lines on its side of the middle position, so no
    // line is written by both.
    const qsizetype middle = lineCount() / 2;
    char *bytes = mText.data();
    std::vector<qsizetype> longer[2];
    qsizetype freed[2] = {0, 0};
    const auto half = [&](int side) {
        for (const qsizetype pos : positions)
            if ((pos >= middle) == (side == 1) && !rewrite(bytes, pos, valueAt(pos), freed[side]))
                longer[side].push_back(pos);
    };
    runSideBySide([&] { half(0); }, [&] { half(1); });
    mGarbage += freed[0] + freed[1];
    for (const std::vector<qsizetype> &side : longer)
        for (const qsizetype pos : side)
            changeValue(pos, valueAt(pos));
}

void SearchIndex::removeValue(qsizetype pos)
{
    mLastNeedle.clear();
    const qsizetype start = mStartOf[size_t(pos)];
    if (start < 0)
        return;
    char *bytes = mText.data() + start;
    const qsizetype length = qsizetype(strlen(bytes));
    memset(bytes, 0, size_t(length));
    mStartOf[size_t(pos)] = -1;
    mGarbage += length + 1;
}

bool SearchIndex::isWorn() const
{
    return mGarbage > (1 << 20) && mGarbage > mText.size() / 2;
}

void SearchIndex::insertInOrder(qint32 pos, const QString &name, const NameAt &nameAt)
{
    mLastNeedle.clear();
    const auto at = std::lower_bound(mOrder.begin(), mOrder.end(), name,
        [&](qint32 p, const QString &n) { return compareNames(nameAt(p), n) < 0; });
    mOrder.insert(at, pos);
}

void SearchIndex::eraseFromOrder(const QString &name, const NameAt &nameAt)
{
    mLastNeedle.clear();
    const auto at = std::lower_bound(mOrder.begin(), mOrder.end(), name,
        [&](qint32 p, const QString &n) { return compareNames(nameAt(p), n) < 0; });
    if (at != mOrder.end())
        mOrder.erase(at);
}

} // namespace Wordloom

#include "document/searchindex.h"

#include "document/hashlist.h"
#include "document/workerpool.h"

#include <QScopeGuard>

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Wordloom {

namespace {

// The bit of an ASCII letter among the case letters, or none.
inline quint64 caseLetterBit(char16_t unit)
{
    const unsigned lower = unsigned(unit) - 'a';
    const unsigned upper = unsigned(unit) - 'A';
    return (quint64(lower < 26) << (lower & 63)) | (quint64(upper < 26) << ((26 + upper) & 63));
}

// The ASCII letters of a text, lower and upper case apart, as bits.
quint64 caseLetters(QStringView text)
{
    quint64 bits = 0;
    for (const QChar c : text)
        bits |= caseLetterBit(c.unicode());
    return bits;
}

// Appends the text lowered, in UTF-8; a NUL becomes 0x01, as a NUL ends a
// value in the buffer. Written through a pointer into room made first: a
// unit takes at most three bytes. Gives the text's case letters too.
void appendLowered(QStringView text, QByteArray &out, quint64 *letters = nullptr)
{
    const qsizetype start = out.size();
    out.resize(start + 3 * text.size());
    char *to = out.data() + start;
    quint64 bits = 0;
    const auto done = qScopeGuard([&] {
        if (letters)
            *letters = bits;
    });
    for (qsizetype i = 0; i < text.size();) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            bits |= caseLetterBit(unit);
            *to++ = char(unit == 0 ? 1 : (unit >= 'A' && unit <= 'Z') ? unit + 32 : unit);
            ++i;
            continue;
        }
        const char32_t c = QChar::toLower(nextCodePoint(text, i));
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
        index->mStartOf.resize(n);
        index->mCases.resize(n);
        index->mStarts.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            const qsizetype start = index->mText.size();
            appendLowered(values[i], index->mText, &index->mCases[i]);
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

bool SearchIndex::caseLettersDecide(QStringView text)
{
    qsizetype letters = 0;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
        letters += c.isLetter();
    }
    return letters == 0 || text.size() == 1;
}

std::vector<qint32> SearchIndex::withCaseLetters(std::vector<qint32> hits, QStringView text) const
{
    const quint64 need = caseLetters(text);
    if (need != 0)
        std::erase_if(hits, [&](qint32 pos) { return (mCases[size_t(pos)] & need) != need; });
    return hits;
}

void SearchIndex::scan(const QByteArray &needle, qsizetype from, qsizetype to, std::vector<char> &hit) const
{
    if (mStarts.empty())
        return;
    const char *begin = mText.constData();
    const char *end = begin + to;
    auto start = std::upper_bound(mStarts.begin(), mStarts.end(), from,
                     [](qsizetype o, const std::pair<qsizetype, qsizetype> &s) { return o < s.first; })
        - 1;
    for (const char *at = begin + from; at < end;) {
        const char *found = findBytes(at, size_t(end - at), needle.constData(), size_t(needle.size()));
        if (!found)
            break;
        const qsizetype offset = found - begin;
        // Hits come in buffer order: the value holding this one is found by
        // walking on from the last.
        while (start + 1 != mStarts.end() && (start + 1)->first <= offset)
            ++start;
        hit[size_t(start->second)] = 1;
        // On to the value after this one: one hit per line is enough.
        if (start + 1 == mStarts.end())
            break;
        at = begin + (start + 1)->first;
    }
}

std::vector<qint32> SearchIndex::find(const QByteArray &needle)
{
    // UTF-8 is self-synchronizing, so a byte search finds exactly the
    // character substrings; no value holds a NUL, so no hit spans two.
    std::vector<qint32> hits;
    if (needle.isEmpty())
        return hits;
    // Narrowing reads the last hits' values out of order; for many hits a
    // scan of the whole buffer in order is quicker.
    if (!mLastNeedle.isEmpty() && needle.contains(mLastNeedle) && mLastHits.size() * 8 < mStartOf.size()) {
        for (size_t i = 0; i < mLastHits.size(); ++i) {
            if (i + 8 < mLastHits.size())
                __builtin_prefetch(mText.constData() + mStartOf[size_t(mLastHits[i + 8])]);
            if (std::strstr(mText.constData() + mStartOf[size_t(mLastHits[i])], needle.constData()))
                hits.push_back(mLastHits[i]);
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
    mLastNeedle = needle;
    mLastHits = hits;
    return hits;
}

void SearchIndex::addValue(qsizetype pos, QStringView value)
{
    if (size_t(pos) >= mStartOf.size()) {
        mStartOf.resize(size_t(pos) + 1, -1);
        mCases.resize(size_t(pos) + 1);
    }
    const qsizetype start = mText.size();
    appendLowered(value, mText, &mCases[size_t(pos)]);
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
    scratch.resize(0);
    quint64 letters = 0;
    appendLowered(value, scratch, &letters);
    char *old = bytes + start;
    const qsizetype length = qsizetype(strlen(old));
    // A very long value's room is not kept for the thread's lifetime.
    const auto release = qScopeGuard([] {
        if (scratch.capacity() > (1 << 20))
            scratch = QByteArray();
    });
    if (scratch.size() > length)
        return false;
    mCases[size_t(pos)] = letters;
    // A change of letter case alone leaves the lowered bytes as they were.
    if (scratch.size() == length && memcmp(old, scratch.constData(), size_t(length)) == 0)
        return true;
    memcpy(old, scratch.constData(), size_t(scratch.size()));
    memset(old + scratch.size(), 0, size_t(length - scratch.size()));
    freed += length - scratch.size();
    return true;
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

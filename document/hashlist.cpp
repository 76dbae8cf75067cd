#include "document/hashlist.h"

#include <algorithm>
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

const qsizetype *Hashlist::find(const QString &name) const
{
    const auto it = mIndex.constFind(Key{name});
    return it == mIndex.cend() ? nullptr : &it.value().pos;
}

QString Hashlist::value(const QString &name) const
{
    const qsizetype *pos = find(name);
    return pos ? mLines[size_t(*pos)].value : QString();
}

bool Hashlist::contains(const QString &name) const
{
    return find(name) != nullptr;
}

void Hashlist::setValue(const QString &name, const QString &value)
{
    if (value.isEmpty()) {
        remove(name);
        return;
    }
    // One lookup finds the line or makes room for it. The index's key keeps
    // the first spelling; it compares ignoring case, so that is enough.
    Slot &slot = mIndex[Key{name}];
    if (slot.pos >= 0) {
        Line &line = mLines[size_t(slot.pos)];
        const bool respelled = mSearch && line.name != name;
        if (respelled)
            orderErase(line.name);
        line.name = name;
        line.value = value;
        if (respelled)
            orderInsert(slot.pos);
        if (mSearch)
            unindexValue(slot.pos);
        if (mSearch)
            indexValue(slot.pos);
        return;
    }
    slot.pos = qsizetype(mLines.size());
    mLines.push_back(Line{name, value, true});
    ++mLive;
    if (mSearch) {
        mSearch->startOf.push_back(-1);
        indexValue(slot.pos);
        orderInsert(slot.pos);
    }
}

void Hashlist::remove(const QString &name)
{
    const auto it = mIndex.find(Key{name});
    if (it == mIndex.end())
        return;
    const qsizetype pos = it.value().pos;
    if (mSearch) {
        orderErase(mLines[size_t(pos)].name);
        unindexValue(pos);
    }
    mLines[size_t(pos)] = Line{QString(), QString(), false};
    mIndex.erase(it);
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
    qsizetype out = 0;
    for (qsizetype i = 0; i < qsizetype(mLines.size()); ++i) {
        if (!mLines[size_t(i)].alive)
            continue;
        if (out != i) {
            mLines[size_t(out)] = std::move(mLines[size_t(i)]);
            mIndex[Key{mLines[size_t(out)].name}].pos = out;
        }
        ++out;
    }
    mLines.resize(size_t(out));
}

void Hashlist::clear()
{
    mLines.clear();
    mIndex.clear();
    mLive = 0;
    dropSearchIndex();
}

void Hashlist::swap(Hashlist &other) noexcept
{
    std::swap(mLines, other.mLines);
    mIndex.swap(other.mIndex);
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

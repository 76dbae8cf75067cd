#include "document/keynames.h"

#include <algorithm>

namespace Wordloom {

namespace {

inline char32_t upperCodePoint(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    return QChar::toUpper(c);
}

// The case folding of the upper case: the case folding for every character
// but the dotless i, which upper-cases to I.
inline char32_t orderCodePoint(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(QChar::toUpper(c));
}

// Whether the character upper-cases apart from the others folding like it,
// as the Kelvin sign does from K and k. Only then does the upper case
// decide between names that fold alike.
inline bool upperStandsApart(char32_t c)
{
    return c >= 0x80 && QChar::toUpper(c) != QChar::toUpper(QChar::toCaseFolded(c));
}

// Code points in the order of their UTF-16 forms, the order of QString.
inline char32_t utf16Order(char32_t c)
{
    return c >= 0xd800 && c < 0x10000 ? c + 0x110000 : c;
}

inline int sign(char32_t a, char32_t b)
{
    return utf16Order(a) < utf16Order(b) ? -1 : 1;
}

void appendCodePoint(QString &text, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        text.append(QChar(QChar::highSurrogate(c)));
        text.append(QChar(QChar::lowSurrogate(c)));
    } else {
        text.append(QChar(char16_t(c)));
    }
}

// How many leading UTF-16 units the two texts share; a surrogate pair is
// never split.
qsizetype commonPrefix(QStringView a, QStringView b)
{
    qsizetype k = firstDifference(a.utf16(), b.utf16(), 0, std::min(a.size(), b.size()));
    if (k > 0 && a[k - 1].isHighSurrogate())
        --k;
    return k;
}

} // namespace

bool namesEqual(QStringView a, QStringView b)
{
    // The same spelling is by far the most common case, and the lists of
    // one pack share each name's characters, so often the very same ones.
    if (a.size() == b.size() && (a.data() == b.data() || a == b))
        return true;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size())
        if (upperCodePoint(nextCodePoint(a, i)) != upperCodePoint(nextCodePoint(b, j)))
            return false;
    return i == a.size() && j == b.size();
}

size_t nameHash(QStringView name, size_t seed)
{
    size_t h = seed ^ 0x9e3779b97f4a7c15ULL;
    for (qsizetype i = 0; i < name.size();) {
        const char16_t unit = name[i].unicode();
        // ASCII, the common case, skips the surrogate check.
        const char32_t c = unit < 0x80 ? (++i, char32_t(unit)) : nextCodePoint(name, i);
        h ^= upperCodePoint(c);
        h *= 0x100000001b3ULL;
    }
    // The multiply carries a character only upwards; mixing the high bits
    // down spreads names over a table indexed by the low ones.
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ULL;
    h ^= h >> 32;
    return h;
}

int compareNames(QStringView a, QStringView b)
{
    int byUpper = 0;
    // Equal code points decide nothing.
    qsizetype i = commonPrefix(a, b);
    qsizetype j = i;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = nextCodePoint(a, i);
        const char32_t cb = nextCodePoint(b, j);
        if (ca == cb)
            continue;
        const char32_t oa = orderCodePoint(ca);
        const char32_t ob = orderCodePoint(cb);
        if (oa != ob)
            return sign(oa, ob);
        if (byUpper == 0) {
            const char32_t ua = upperCodePoint(ca);
            const char32_t ub = upperCodePoint(cb);
            if (ua != ub)
                byUpper = sign(ua, ub);
        }
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return byUpper;
}

QString nameKey(QStringView name)
{
    QString key;
    key.reserve(name.size());
    bool apart = false;
    for (qsizetype i = 0; i < name.size();) {
        const char32_t c = nextCodePoint(name, i);
        apart = apart || upperStandsApart(c);
        appendCodePoint(key, orderCodePoint(c));
    }
    if (!apart)
        return key;
    // After the folded form, which no name's key continues with U+0000,
    // the upper case: it only counts where the folded forms are equal.
    key.append(QChar(u'\0'));
    for (qsizetype i = 0; i < name.size();)
        appendCodePoint(key, upperCodePoint(nextCodePoint(name, i)));
    return key;
}

} // namespace Wordloom

#pragma once

#include <QString>
#include <QStringView>

#include <cstring>

namespace Wordloom {

// Reads the code point at i and moves i past it; a lone surrogate stands
// for itself.
inline char32_t nextCodePoint(QStringView text, qsizetype &i)
{
    const char16_t c = text[i++].unicode();
    if (QChar::isHighSurrogate(c) && i < text.size() && QChar::isLowSurrogate(text[i].unicode()))
        return QChar::surrogateToUcs4(c, text[i++].unicode());
    return c;
}

// The first position from i on where the texts differ, or n; four units
// at a time over the common prefix.
inline qsizetype firstDifference(const char16_t *a, const char16_t *b, qsizetype i, qsizetype n)
{
    for (; i + 4 <= n; i += 4) {
        quint64 x;
        quint64 y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        if (x != y)
            break;
    }
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// Key names are equal ignoring case when they are equal upper-cased
// character by character, the format's rule for looking a name up.
bool namesEqual(QStringView a, QStringView b);
size_t nameHash(QStringView name, size_t seed = 0);

// The order of key names: by their case folding (of the upper case, so the
// dotless i sorts with the i), and among names that fold alike by their
// upper case, so names equal ignoring case always stand together. Zero
// exactly when namesEqual.
int compareNames(QStringView a, QStringView b);

// A text standing for the name in sets and sorts: two names have the same
// key exactly when they are equal ignoring case, and keys compared exactly
// give the order of compareNames.
QString nameKey(QStringView name);

} // namespace Wordloom

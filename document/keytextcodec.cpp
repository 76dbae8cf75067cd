#include "document/keytextcodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace Wordloom {

namespace {

constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

inline char16_t byteToChar(unsigned char b)
{
    return (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : char16_t(b);
}

// -1 when the character is not in the Windows-1252 table.
inline int charToByte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    switch (c) {
    case 0x20AC: return 0x80;
    case 0x0081: return 0x81;
    case 0x201A: return 0x82;
    case 0x0192: return 0x83;
    case 0x201E: return 0x84;
    case 0x2026: return 0x85;
    case 0x2020: return 0x86;
    case 0x2021: return 0x87;
    case 0x02C6: return 0x88;
    case 0x2030: return 0x89;
    case 0x0160: return 0x8A;
    case 0x2039: return 0x8B;
    case 0x0152: return 0x8C;
    case 0x008D: return 0x8D;
    case 0x017D: return 0x8E;
    case 0x008F: return 0x8F;
    case 0x0090: return 0x90;
    case 0x2018: return 0x91;
    case 0x2019: return 0x92;
    case 0x201C: return 0x93;
    case 0x201D: return 0x94;
    case 0x2022: return 0x95;
    case 0x2013: return 0x96;
    case 0x2014: return 0x97;
    case 0x02DC: return 0x98;
    case 0x2122: return 0x99;
    case 0x0161: return 0x9A;
    case 0x203A: return 0x9B;
    case 0x0153: return 0x9C;
    case 0x009D: return 0x9D;
    case 0x017E: return 0x9E;
    case 0x0178: return 0x9F;
    default: return -1;
    }
}

bool isAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int extra;
        char32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
            || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += extra + 1;
    }
    return true;
}

} // namespace

QString encodeKeyText(const QString &text)
{
    if (isAscii(text))
        return text;
    const QByteArray utf8 = text.toUtf8();
    QString result(utf8.size(), Qt::Uninitialized);
    QChar *out = result.data();
    for (char b : utf8)
        *out++ = QChar(byteToChar(static_cast<unsigned char>(b)));
    return result;
}

QString decodeKeyTextUtf8(QByteArrayView utf8)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    const auto *firstHigh = p;
    while (firstHigh < end && *firstHigh < 0x80)
        ++firstHigh;
    if (firstHigh == end)
        return QString::fromLatin1(utf8.data(), utf8.size());
    // Each character of the document's text stands for one byte.
    QByteArray bytes(utf8.size(), Qt::Uninitialized);
    char *out = bytes.data();
    std::copy(p, firstHigh, out);
    out += firstHigh - p;
    for (const unsigned char *q = firstHigh; q < end;) {
        char32_t c = *q;
        int extra = 0;
        if (c >= 0xF0)
            extra = 3, c &= 0x07;
        else if (c >= 0xE0)
            extra = 2, c &= 0x0F;
        else if (c >= 0xC0)
            extra = 1, c &= 0x1F;
        if (end - q <= extra)
            return textFromUtf8(utf8);
        for (int i = 1; i <= extra; ++i)
            c = (c << 6) | (q[i] & 0x3F);
        q += extra + 1;
        const int b = charToByte(c);
        if (b < 0)
            return textFromUtf8(utf8);
        *out++ = char(b);
    }
    bytes.truncate(out - bytes.data());
    if (!isValidUtf8(bytes))
        return textFromUtf8(utf8);
    return textFromUtf8(bytes);
}

QString textFromUtf8(QByteArrayView utf8)
{
    if (!utf8.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(utf8);
    QStringDecoder decoder(QStringConverter::Utf8,
        QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return decoder(utf8);
}

QString normalizeLineBreaks(const QString &text)
{
    const QChar *in = text.constData();
    const qsizetype n = text.size();
    qsizetype first = 0;
    while (first < n && in[first] != QLatin1Char('\r') && in[first] != QLatin1Char('\n'))
        ++first;
    if (first == n)
        return text;
    // At most two characters for each one read.
    QString result(2 * n - first, Qt::Uninitialized);
    QChar *out = result.data();
    std::copy(in, in + first, out);
    qsizetype o = first;
    for (qsizetype i = first; i < n; ++i) {
        const QChar c = in[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && in[i + 1] == QLatin1Char('\n'))
                ++i;
            out[o++] = QLatin1Char('\r');
            out[o++] = QLatin1Char('\n');
        } else {
            out[o++] = c;
        }
    }
    result.truncate(o);
    return result;
}

} // namespace Wordloom

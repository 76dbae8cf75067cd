#include "document/keytextcodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Wordloom {

namespace {

// clang-format off
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
// clang-format on

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

namespace {

// Decodes in one pass: each character of the stored text gives one byte,
// the bytes are read as strict UTF-8, and with lineBreaks every line break
// becomes CR LF. out has room for a character a byte and one more for each
// CR or LF byte. Returns the characters written, or -1 where the text does
// not decode.
qsizetype decodeStrictInto(QByteArrayView utf8, bool lineBreaks, char16_t *out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    char16_t *const outBegin = out;
    // The text's own UTF-8 sequence being collected from the bytes.
    char32_t cp = 0;
    int pending = 0;
    char32_t minimum = 0;
    bool afterCr = false;
    while (p < end) {
#ifdef __SSE2__
        // Plain ASCII up to the next other byte or line break is widened
        // as it stands. The whole block is written: out runs ahead of the
        // bytes read by no more than its room for line breaks.
        if (pending == 0 && end - p >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            unsigned stops = unsigned(_mm_movemask_epi8(block));
            if (lineBreaks)
                stops |= unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\r')),
                    _mm_cmpeq_epi8(block, _mm_set1_epi8('\n')))));
            const int plain = stops ? std::countr_zero(stops) : 16;
            if (plain > 0) {
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(block, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(block, zero));
                p += plain;
                out += plain;
                afterCr = false;
                continue;
            }
        }
#endif
        unsigned char b;
        if (*p < 0x80) {
            b = *p++;
        } else {
            char32_t c = *p;
            int extra;
            if (c >= 0xF0)
                extra = 3, c &= 0x07;
            else if (c >= 0xE0)
                extra = 2, c &= 0x0F;
            else if (c >= 0xC0)
                extra = 1, c &= 0x1F;
            else
                return -1;
            if (end - p <= extra)
                return -1;
            for (int i = 1; i <= extra; ++i)
                c = (c << 6) | (p[i] & 0x3F);
            p += extra + 1;
            const int byte = charToByte(c);
            if (byte < 0)
                return -1;
            b = static_cast<unsigned char>(byte);
        }
        if (pending > 0) {
            if ((b & 0xC0) != 0x80)
                return -1;
            cp = (cp << 6) | (b & 0x3F);
            if (--pending > 0)
                continue;
            if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return -1;
            if (cp >= 0x10000) {
                *out++ = QChar::highSurrogate(cp);
                *out++ = QChar::lowSurrogate(cp);
            } else {
                *out++ = char16_t(cp);
            }
            continue;
        }
        const bool wasCr = afterCr;
        afterCr = false;
        if (b < 0x80) {
            if (lineBreaks && (b == '\r' || b == '\n')) {
                // The LF of a CR LF was written with the CR.
                if (b == '\n' && wasCr)
                    continue;
                *out++ = u'\r';
                *out++ = u'\n';
                afterCr = b == '\r';
                continue;
            }
            *out++ = b;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F, pending = 1, minimum = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F, pending = 2, minimum = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07, pending = 3, minimum = 0x10000;
        } else {
            return -1;
        }
    }
    return pending > 0 ? -1 : out - outBegin;
}

// Texts up to this many bytes are decoded into a buffer of the thread and
// then allocated once at their size: a loaded pack keeps no unused room and
// the heap is not left with the pieces of shrunk blocks.
constexpr qsizetype kScratchBytes = 16384;

bool decodeStrict(QByteArrayView utf8, bool lineBreaks, QString &result)
{
    if (utf8.size() <= kScratchBytes) {
        thread_local std::array<char16_t, 2 * kScratchBytes> scratch;
        const qsizetype n = decodeStrictInto(utf8, lineBreaks, scratch.data());
        if (n < 0)
            return false;
        result = QString(reinterpret_cast<const QChar *>(scratch.data()), n);
        return true;
    }
    // Every byte gives one character at most, a lone CR or LF two.
    const qsizetype breaks = lineBreaks ? utf8.count('\r') + utf8.count('\n') : 0;
    result = QString(utf8.size() + breaks, Qt::Uninitialized);
    const qsizetype n = decodeStrictInto(utf8, lineBreaks, reinterpret_cast<char16_t *>(result.data()));
    if (n < 0)
        return false;
    result.truncate(n);
    result.squeeze();
    return true;
}

} // namespace

QString decodeKeyText(QByteArrayView utf8, bool lineBreaks)
{
    QString result;
    if (decodeStrict(utf8, lineBreaks, result))
        return result;
    // Not in the key text encoding: the text as it stands.
    result = textFromUtf8(utf8);
    return lineBreaks ? normalizeLineBreaks(result) : result;
}

QString decodeKeyTextUtf8(QByteArrayView utf8)
{
    return decodeKeyText(utf8, false);
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

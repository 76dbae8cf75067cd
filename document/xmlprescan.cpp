#include "document/xmlprescan.h"

#include <QLocale>

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Wordloom {

namespace {

QString count(qint64 n)
{
    return QLocale(QLocale::German).toString(n);
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Names are compared by their ASCII letters; any other character stands as
// "?", which can only merge names and so count more defaults, never fewer.
char nameChar(char16_t c)
{
    return c < 0x80 ? char(c) : '?';
}

// An element name echoed in a message is cut here.
constexpr qsizetype kMaxName = 200;

} // namespace

bool XmlPrescan::feed(const char *data, qsizetype size)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
    mFed += size;
    if (mWidth == Width::Unknown && size > 0) {
        // The first two bytes tell UTF-16 (with or without a byte order
        // mark) from the byte encodings.
        if (mPending < 0 && size == 1) {
            mPending = bytes[0];
            return true;
        }
        const int first = mPending >= 0 ? mPending : bytes[i++];
        const int second = bytes[i++];
        mPending = -1;
        if ((first == 0xFF && second == 0xFE) || (first == '<' && second == 0))
            mWidth = Width::Utf16Le;
        else if ((first == 0xFE && second == 0xFF) || (first == 0 && second == '<'))
            mWidth = Width::Utf16Be;
        else
            mWidth = Width::Bytes;
        if (mWidth == Width::Bytes) {
            take(char16_t(first));
            take(char16_t(second));
        } else if (first == '<' || second == '<') {
            take(u'<');
        }
    }
    if (mWidth == Width::Bytes) {
        for (; i < size && mRefusal.isEmpty(); ++i) {
            i = scanBlocks(data, i, size);
            if (i == size || !mRefusal.isEmpty())
                break;
            i = skipPlain(data, i, size);
            if (i < size)
                take(char16_t(bytes[i]));
        }
        return mRefusal.isEmpty();
    }
    for (; i < size && mRefusal.isEmpty(); ++i) {
        if (mPending < 0) {
            mPending = bytes[i];
            continue;
        }
        const int unit = mWidth == Width::Utf16Le ? mPending | bytes[i] << 8 : mPending << 8 | bytes[i];
        mPending = -1;
        take(char16_t(unit));
    }
    return mRefusal.isEmpty();
}

qsizetype XmlPrescan::skipPlain(const char *data, qsizetype i, qsizetype size)
{
    // In text, a quoted value and a closing tag only one character ends
    // the state; the bytes before it only count lines.
    char stop;
    switch (mState) {
    case State::Text: stop = '<'; break;
    case State::TagQuote: stop = char(mQuote); break;
    case State::Skip: stop = '>'; break;
    case State::StartTag:
        // Between attributes only quotes, "=" and ">" matter, unless the
        // element's name is being read.
        return mNaming ? i : findStop(data, i, size, {'"', '\'', '=', '>'});
    default: return i;
    }
    const char *from = data + i;
    const auto *found = static_cast<const char *>(std::memchr(from, stop, size_t(size - i)));
    const char *to = found ? found : data + size;
    // Line breaks are rare, so each is looked for like the stop.
    for (const char *p = from; (p = static_cast<const char *>(std::memchr(p, '\n', size_t(to - p)))); ++p)
        ++mLine;
    return to - data;
}

qsizetype XmlPrescan::findStop(const char *data, qsizetype i, qsizetype size, std::array<char, 4> stops)
{
#ifdef __SSE2__
    const __m128i lineBreak = _mm_set1_epi8('\n');
    const __m128i stop0 = _mm_set1_epi8(stops[0]);
    const __m128i stop1 = _mm_set1_epi8(stops[1]);
    const __m128i stop2 = _mm_set1_epi8(stops[2]);
    const __m128i stop3 = _mm_set1_epi8(stops[3]);
    for (; size - i >= 16; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i found = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, stop0), _mm_cmpeq_epi8(block, stop1)),
            _mm_or_si128(_mm_cmpeq_epi8(block, stop2), _mm_cmpeq_epi8(block, stop3)));
        const unsigned stop = unsigned(_mm_movemask_epi8(found));
        unsigned breaks = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lineBreak)));
        if (stop)
            breaks &= (1u << std::countr_zero(stop)) - 1;
        // Rare, so counted one by one.
        for (; breaks; breaks &= breaks - 1)
            ++mLine;
        if (stop)
            return i + std::countr_zero(stop);
    }
#endif
    for (; i < size; ++i) {
        const char c = data[i];
        if (c == stops[0] || c == stops[1] || c == stops[2] || c == stops[3])
            return i;
        mLine += c == '\n';
    }
    return i;
}

void XmlPrescan::countAttribute()
{
    if (++mAttributes > kMaxAttributes)
        mRefusal
            = QStringLiteral("ein Element hat mehr als %1 Attribute (Zeile %2)").arg(count(kMaxAttributes)).arg(mLine);
}

qsizetype XmlPrescan::scanBlocks(const char *data, qsizetype i, qsizetype size)
{
#ifdef __SSE2__
    // Only text and tags without defaults to charge; a document type, a
    // comment and the like go the way of every byte.
    const auto plain = [this] {
        return !mInSubset && mDefaults.isEmpty() && mAnyDefaults == 0
            && (mState == State::Text || mState == State::Open || mState == State::StartTag || mState == State::TagQuote
                || mState == State::Skip);
    };
    if (!plain())
        return i;
    for (; size - i >= 16; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        // One bit a byte, where the byte is c.
        const auto mask = [&](char c) { return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(c)))); };
        const unsigned open = mask('<');
        const unsigned close = mask('>');
        const unsigned quotes[2] = {mask('"'), mask('\'')};
        const unsigned equals = mask('=');
        const unsigned breaks = mask('\n');
        // The bytes of the block from this offset on are still to be read.
        int at = 0;
        for (;;) {
            unsigned stops = 0xFFFF;
            switch (mState) {
            case State::Text: stops = open; break;
            case State::StartTag: stops = quotes[0] | quotes[1] | equals | close; break;
            case State::TagQuote: stops = quotes[mQuote == u'"' ? 0 : 1]; break;
            case State::Skip: stops = close; break;
            default: break;
            }
            stops &= 0xFFFFu << at;
            if (!stops)
                break;
            const int p = std::countr_zero(stops);
            at = p + 1;
            const char c = data[i + p];
            switch (mState) {
            case State::Text: mState = State::Open; break;
            case State::Open:
                if (c == '!' || c == '?') {
                    // Left to take(), at its line.
                    mLine += std::popcount(breaks & ((1u << p) - 1));
                    return i + p;
                }
                if (c == '/') {
                    mState = State::Skip;
                } else {
                    mAttributes = 0;
                    mState = State::StartTag;
                }
                break;
            case State::StartTag:
                if (c == '=') {
                    // Counted at the line of the sign.
                    const int before = std::popcount(breaks & ((1u << p) - 1));
                    mLine += before;
                    countAttribute();
                    if (!mRefusal.isEmpty())
                        return i + p;
                    mLine -= before;
                } else if (c == '>') {
                    mState = State::Text;
                } else {
                    mQuote = char16_t(c);
                    mState = State::TagQuote;
                }
                break;
            case State::TagQuote: mState = State::StartTag; break;
            default: mState = State::Text; break;
            }
        }
        // Rare, so counted only where there are any.
        if (breaks)
            mLine += std::popcount(breaks);
    }
#endif
    return i;
}

void XmlPrescan::declare()
{
    if (++mDeclarations > kMaxDeclarations)
        mRefusal = QStringLiteral("die Dokumenttypdefinition hat mehr als %1 Deklarationen (Zeile %2)")
                       .arg(count(kMaxDeclarations))
                       .arg(mLine);
}

void XmlPrescan::chargeDefaults()
{
    mNaming = false;
    const qint64 defaults = mDefaults.value(mName) + mAnyDefaults;
    if (defaults == 0)
        return;
    mDefaultsCost += defaults * (defaults + kDefaultCost);
    if (mDefaultsCost <= kDefaultsBudget + kDefaultsPerByte * mFed)
        return;
    const QString name = mName.size() > kMaxName ? QString::fromLatin1(mName.left(kMaxName)) + QStringLiteral("…")
                                                 : QString::fromLatin1(mName);
    mRefusal = QStringLiteral("die Dokumenttypdefinition gibt zu vielen Elementen „%1“ je %2 Vorgabewerte für "
                              "Attribute (Zeile %3)")
                   .arg(name, count(defaults))
                   .arg(mLine);
}

void XmlPrescan::take(char16_t c)
{
    if (c == u'\n')
        ++mLine;
    switch (mState) {
    case State::Text:
        if (c == u'<')
            mState = State::Open;
        break;
    case State::Open:
        if (c == u'!') {
            mWord.clear();
            mState = State::Bang;
        } else if (c == u'?') {
            mRun = 0;
            mState = State::Instruction;
        } else if (c == u'/') {
            mState = State::Skip;
        } else {
            mAttributes = 0;
            mState = State::StartTag;
            // Only an element with defaults costs more than its bytes.
            if (!mDefaults.isEmpty() || mAnyDefaults > 0) {
                mName = QByteArray(1, nameChar(c));
                mNaming = true;
            }
        }
        break;
    case State::Bang:
        // "<!--", "<![CDATA[" or "<!DOCTYPE"; anything else is left to the parser.
        mWord += char(c < 0x80 ? c : u'?');
        mRun = 0;
        if (mWord == "--")
            mState = State::Comment;
        else if (mWord == "[CDATA[")
            mState = State::CData;
        else if (mWord == "DOCTYPE")
            mState = State::Doctype;
        else if (!QByteArrayView("--").startsWith(mWord) && !QByteArrayView("[CDATA[").startsWith(mWord)
            && !QByteArrayView("DOCTYPE").startsWith(mWord))
            mState = State::Skip;
        break;
    case State::StartTag:
        if (mNaming) {
            if (!isSpace(c) && c != u'/' && c != u'>') {
                if (mName.size() <= kMaxName)
                    mName += nameChar(c);
                break;
            }
            chargeDefaults();
        }
        if (c == u'"' || c == u'\'') {
            mQuote = c;
            mState = State::TagQuote;
        } else if (c == u'=') {
            countAttribute();
        } else if (c == u'>') {
            mState = State::Text;
        }
        break;
    case State::TagQuote:
        if (c == mQuote)
            mState = State::StartTag;
        break;
    case State::Skip:
        if (c == u'>')
            mState = back();
        break;
    case State::Comment:
        if (c == u'>' && mRun >= 2)
            mState = back();
        mRun = c == u'-' ? mRun + 1 : 0;
        break;
    case State::CData:
        if (c == u'>' && mRun >= 2)
            mState = State::Text;
        mRun = c == u']' ? mRun + 1 : 0;
        break;
    case State::Instruction:
        if (c == u'>' && mRun > 0)
            mState = back();
        mRun = c == u'?' ? 1 : 0;
        break;
    case State::Doctype:
        if (c == u'"' || c == u'\'') {
            mQuote = c;
            mState = State::DoctypeQuote;
        } else if (c == u'[') {
            mInSubset = true;
            mState = State::Subset;
        } else if (c == u'>') {
            mState = State::Text;
        }
        break;
    case State::DoctypeQuote:
        if (c == mQuote)
            mState = State::Doctype;
        break;
    case State::Subset:
        if (c == u'<') {
            mState = State::SubsetOpen;
        } else if (c == u'%') {
            // A parameter entity reference stands for declarations, which
            // may give any element defaults.
            declare();
            mAnyDefaults = std::min(mAnyDefaults + mEntityDefaults, kMaxCounted);
        } else if (c == u']') {
            mInSubset = false;
            mState = State::DoctypeEnd;
        }
        break;
    case State::SubsetOpen:
        if (c == u'!') {
            mState = State::SubsetBang;
        } else {
            mRun = c == u'?' ? 0 : mRun;
            mState = c == u'?' ? State::Instruction : State::Subset;
        }
        break;
    case State::SubsetBang:
        if (c == u'-') {
            mRun = 1;
            mState = State::Comment;
        } else {
            // Each attribute of an attribute list is a declaration of its
            // own: it ends in a default value, #REQUIRED or #IMPLIED.
            mAttributeList = c == u'A';
            mEntity = false;
            mEntityMarks = 0;
            mKeyword = c;
            mListWord = 0;
            mInWord = true;
            mName.clear();
            mDefinitions = 0;
            mHash = false;
            mState = State::Declaration;
            if (!mAttributeList)
                declare();
        }
        break;
    case State::Declaration:
        if (mKeyword == u'E') {
            // "ENTITY" rather than "ELEMENT".
            mEntity = c == u'N';
            mKeyword = 0;
        }
        // "ATTLIST", then the element's name.
        if (mAttributeList && mListWord < 2) {
            if (isSpace(c)) {
                mListWord += mInWord ? 1 : 0;
                mInWord = false;
            } else {
                mInWord = true;
                if (mListWord == 1 && mName.size() <= kMaxName)
                    mName += nameChar(c);
            }
        }
        if (mHash && mAttributeList && (c == u'R' || c == u'I')) {
            ++mDefinitions;
            declare();
        }
        mHash = c == u'#';
        if (c == u'"' || c == u'\'') {
            mQuote = c;
            mState = State::DeclarationQuote;
            if (mAttributeList) {
                ++mDefinitions;
                ++mDefaults[mName];
                declare();
            }
        } else if (c == u'>') {
            if (mAttributeList && mDefinitions == 0)
                declare();
            // A default in an entity's text takes two quotes, each of
            // which may also be written as a character reference.
            if (mEntity)
                mEntityDefaults = std::max(mEntityDefaults, std::min((mEntityMarks + 1) / 2, kMaxCounted));
            mState = State::Subset;
        }
        break;
    case State::DeclarationQuote:
        if (c == mQuote)
            mState = State::Declaration;
        else if (mEntity && (c == u'"' || c == u'\'' || c == u'&'))
            ++mEntityMarks;
        break;
    case State::DoctypeEnd:
        if (c == u'>')
            mState = State::Text;
        break;
    }
}

} // namespace Wordloom

#include "document/hashlist.h"


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

bool namesEqual(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

size_t nameHash(QStringView name, size_t seed)
{
    size_t h = seed ^ 0x9e3779b97f4a7c15ULL;
    for (qsizetype i = 0; i < name.size();) {
        h ^= foldCodePoint(nextCodePoint(name, i));
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
    QString result;
    result.reserve(size);
    result.append(data, i);
    const QStringView view(text);
    while (i < size) {
        const char32_t c = nextCodePoint(view, i);
        const char32_t lower = c < 0x80 ? ((c >= 'A' && c <= 'Z') ? c + 32 : c) : QChar::toLower(c);
        if (QChar::requiresSurrogates(lower)) {
            result.append(QChar(QChar::highSurrogate(lower)));
            result.append(QChar(QChar::lowSurrogate(lower)));
        } else {
            result.append(QChar(char16_t(lower)));
        }
    }
    return result;
}

const qsizetype *Hashlist::find(const QString &name) const
{
    const auto it = mIndex.constFind(Key{name});
    return it == mIndex.cend() ? nullptr : &it.value();
}

QString Hashlist::value(const QString &name) const
{
    const qsizetype *pos = find(name);
    return pos ? mLines[*pos].value : QString();
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
    const QString lowered = mKeepsLowered ? lowerText(value) : QString();
    if (const qsizetype *pos = find(name)) {
        Line &line = mLines[*pos];
        // The stored form of the name follows the last assignment.
        if (line.name != name) {
            mIndex.remove(Key{line.name});
            line.name = name;
            mIndex.insert(Key{name}, *pos);
        }
        line.value = value;
        line.lowered = lowered;
        return;
    }
    mIndex.insert(Key{name}, qsizetype(mLines.size()));
    mLines.push_back(Line{name, value, lowered, true});
    ++mLive;
}

void Hashlist::remove(const QString &name)
{
    const auto it = mIndex.find(Key{name});
    if (it == mIndex.end())
        return;
    Line &line = mLines[it.value()];
    line = Line{QString(), QString(), QString(), false};
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
    qsizetype out = 0;
    for (qsizetype i = 0; i < qsizetype(mLines.size()); ++i) {
        if (!mLines[i].alive)
            continue;
        if (out != i) {
            mLines[out] = std::move(mLines[i]);
            mIndex[Key{mLines[out].name}] = out;
        }
        ++out;
    }
    mLines.resize(out);
}

void Hashlist::clear()
{
    mLines.clear();
    mIndex.clear();
    mLive = 0;
}

void Hashlist::swap(Hashlist &other) noexcept
{
    std::swap(mLines, other.mLines);
    mIndex.swap(other.mIndex);
    std::swap(mLive, other.mLive);
    // Each list keeps its own setting; the lowered copies follow it.
    if (mKeepsLowered != other.mKeepsLowered) {
        const bool mine = mKeepsLowered;
        mKeepsLowered = !mine;
        setKeepsLowered(mine);
        other.mKeepsLowered = mine;
        other.setKeepsLowered(!mine);
    }
}

const QString &Hashlist::nameAt(qsizetype i) const
{
    compact();
    return mLines.at(i).name;
}

const QString &Hashlist::valueAt(qsizetype i) const
{
    compact();
    return mLines.at(i).value;
}

QString Hashlist::lineAt(qsizetype i) const
{
    compact();
    const Line &line = mLines.at(i);
    return line.name + QLatin1Char('=') + line.value;
}

void Hashlist::setKeepsLowered(bool on)
{
    if (mKeepsLowered == on)
        return;
    mKeepsLowered = on;
    for (Line &line : mLines)
        line.lowered = on && line.alive ? lowerText(line.value) : QString();
}

} // namespace Wordloom

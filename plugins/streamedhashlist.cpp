#include "plugins/streamedhashlist.h"

#include "document/hashlist.h"

#include <QString>
#include <bit>
#include <cstring>
#include <limits>

namespace Wordloom {

namespace {

struct Name {
    const char *bytes;
    size_t size;
};

bool isAscii(Name name)
{
    for (size_t i = 0; i < name.size; ++i)
        if (uchar(name.bytes[i]) >= 0x80)
            return false;
    return true;
}

QString decoded(Name name)
{
    return QString::fromUtf8(name.bytes, qsizetype(name.size));
}

// The same hash as the Hashlist's over the decoded name; an ASCII name is
// widened on the stack instead of decoded.
size_t hashOf(Name name)
{
    constexpr size_t kWide = 256;
    if (name.size <= kWide && isAscii(name)) {
        char16_t wide[kWide];
        for (size_t i = 0; i < name.size; ++i)
            wide[i] = char16_t(name.bytes[i]);
        return nameHash(QStringView(wide, qsizetype(name.size)));
    }
    return nameHash(decoded(name));
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

// Equal as the Hashlist's names are, comparing the decoded texts only when
// the bytes cannot decide.
bool sameName(Name a, Name b)
{
    if (a.size == b.size && std::memcmp(a.bytes, b.bytes, a.size) == 0)
        return true;
    if (isAscii(a) && isAscii(b)) {
        if (a.size != b.size)
            return false;
        for (size_t i = 0; i < a.size; ++i)
            if (asciiLower(a.bytes[i]) != asciiLower(b.bytes[i]))
                return false;
        return true;
    }
    return namesEqual(decoded(a), decoded(b));
}

quint32 tagOf(size_t hash)
{
    return quint32(hash >> 32);
}

} // namespace

StreamedHashlist::StreamedHashlist()
    : mView{&StreamedHashlist::countOf, &StreamedHashlist::nameAt, &StreamedHashlist::valueAt,
        &StreamedHashlist::lineAt, &StreamedHashlist::valueOf, this}
{
}

bool StreamedHashlist::append(HostProtocol::FrameReader &frame, quint32 count)
{
    mFrames.push_back(frame.payload());
    mLines.reserve(mLines.size() + count);
    for (quint32 i = 0; i < count; ++i) {
        const QByteArrayView name = frame.nulText();
        const QByteArrayView value = frame.nulText();
        if (!frame.ok())
            return false;
        mLines.push_back(Line{{name.data(), quint32(name.size())}, {value.data(), quint32(value.size())}});
    }
    mSlots.clear();
    return true;
}

const char *StreamedHashlist::answer(Text text, size_t *length)
{
    if (length)
        *length = text.size;
    return text.bytes;
}

size_t EXPORT_CALL StreamedHashlist::countOf(const ExportHashlist *view) noexcept
{
    return self(view).mLines.size();
}

const char *EXPORT_CALL StreamedHashlist::nameAt(const ExportHashlist *view, size_t index, size_t *length) noexcept
{
    const StreamedHashlist &s = self(view);
    return answer(index < s.mLines.size() ? s.mLines[index].name : Text{"", 0}, length);
}

const char *EXPORT_CALL StreamedHashlist::valueAt(const ExportHashlist *view, size_t index, size_t *length) noexcept
{
    const StreamedHashlist &s = self(view);
    return answer(index < s.mLines.size() ? s.mLines[index].value : Text{"", 0}, length);
}

const char *EXPORT_CALL StreamedHashlist::lineAt(const ExportHashlist *view, size_t index, size_t *length) noexcept
{
    const StreamedHashlist &s = self(view);
    if (index >= s.mLines.size())
        return answer(Text{"", 0}, length);
    try {
        QByteArray &joined = s.mJoined[index];
        if (joined.isNull()) {
            const Line &line = s.mLines[index];
            joined.reserve(qsizetype(line.name.size) + 1 + qsizetype(line.value.size));
            joined.append(line.name.bytes, line.name.size).append('=').append(line.value.bytes, line.value.size);
        }
        // A node of the map never moves, nor does the buffer it holds.
        return answer(Text{joined.constData(), quint32(joined.size())}, length);
    } catch (...) {
        return answer(Text{"", 0}, length);
    }
}

const char *EXPORT_CALL StreamedHashlist::valueOf(const ExportHashlist *view, const char *name, size_t *length) noexcept
{
    const StreamedHashlist &s = self(view);
    qsizetype line = -1;
    try {
        if (name)
            line = s.find(name);
    } catch (...) {
    }
    return answer(line < 0 ? Text{"", 0} : s.mLines[size_t(line)].value, length);
}

qsizetype StreamedHashlist::find(const char *name) const
{
    const Name wanted{name, std::strlen(name)};
    if (mLines.empty() || wanted.size > std::numeric_limits<quint32>::max())
        return -1;
    // Plug-ins mostly ask for the names of another list in its order, which
    // is this list's order too: the line after the last one found is tried
    // first. Names are unique ignoring case, so the same bytes are the line.
    const size_t next = size_t(mLastFound + 1) < mLines.size() ? size_t(mLastFound + 1) : 0;
    const Text &guess = mLines[next].name;
    if (guess.size == wanted.size && std::memcmp(guess.bytes, wanted.bytes, wanted.size) == 0)
        return mLastFound = qsizetype(next);
    if (mSlots.empty())
        buildIndex();
    const size_t hash = hashOf(wanted);
    const size_t mask = mSlots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot &slot = mSlots[i];
        if (slot.line < 0)
            return -1;
        const Text &candidate = mLines[size_t(slot.line)].name;
        if (slot.tag == tagOf(hash) && sameName(wanted, Name{candidate.bytes, candidate.size}))
            return mLastFound = slot.line;
    }
}

void StreamedHashlist::buildIndex() const
{
    std::vector<Slot> table(std::bit_ceil(2 * mLines.size()), Slot{0, -1});
    const size_t mask = table.size() - 1;
    for (size_t line = 0; line < mLines.size(); ++line) {
        const size_t hash = hashOf(Name{mLines[line].name.bytes, mLines[line].name.size});
        size_t i = hash & mask;
        while (table[i].line >= 0)
            i = (i + 1) & mask;
        table[i] = Slot{tagOf(hash), qint32(line)};
    }
    mSlots = std::move(table);
}

} // namespace Wordloom

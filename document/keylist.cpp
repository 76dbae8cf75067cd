#include "document/keylist.h"

#include "document/hashlist.h"

#include <algorithm>
#include <iterator>

namespace Wordloom {

bool KeyList::lessThan(const QString &a, const QString &b)
{
    const int c = compareNames(a, b);
    return c != 0 ? c < 0 : a < b;
}

namespace {

bool isAsciiName(const QString &name)
{
    for (QChar c : name)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// A name as the sort compares it: its text, or for a name that is not ASCII
// its nameKey; ASCII names fold on the fly, so they need no copy.
struct SortKey {
    const char16_t *text;
    quint32 size : 31;
    quint32 folded : 1;
    qint32 pos;

    char16_t unit(quint32 i) const
    {
        const char16_t c = text[i];
        return !folded && c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    }
};

// The order of the folded texts compared exactly, then of the names.
bool sortsBefore(const SortKey &a, const SortKey &b, const std::vector<QString> &names)
{
    const quint32 n = std::min(a.size, b.size);
    for (quint32 i = 0;; ++i) {
        // Equal units fold equally: only a difference needs folding.
        i = quint32(firstDifference(a.text, b.text, i, n));
        if (i == n)
            break;
        const char16_t ca = a.unit(i);
        const char16_t cb = b.unit(i);
        if (ca != cb)
            return ca < cb;
    }
    if (a.size != b.size)
        return a.size < b.size;
    return names[size_t(a.pos)] < names[size_t(b.pos)];
}

// The sort key of a name, its nameKey kept in room the caller gives.
SortKey sortKeyOf(const QString &name, qint32 pos, QString &folded)
{
    const bool ascii = isAsciiName(name);
    if (!ascii)
        folded = nameKey(name);
    const QString &text = ascii ? name : folded;
    return SortKey{reinterpret_cast<const char16_t *>(text.constData()), quint32(text.size()), !ascii, pos};
}

// Whether the names stand in order already, as in a file the program
// wrote: one pass, keying each name that is not ASCII once.
bool inOrder(const std::vector<QString> &names)
{
    QString folded[2];
    SortKey previous{};
    for (size_t i = 0; i < names.size(); ++i) {
        const SortKey key = sortKeyOf(names[i], qint32(i), folded[i % 2]);
        if (i > 0 && sortsBefore(key, previous, names))
            return false;
        previous = key;
    }
    return true;
}

} // namespace

void KeyList::sort(std::vector<QString> &names)
{
    if (inOrder(names))
        return;
    // Comparing name keys exactly gives the order of lessThan, much
    // faster than folding inside every comparison. Small keys are sorted
    // and the names then moved along their cycles, so no second vector of
    // names is needed.
    std::vector<qint32> order(names.size());
    {
        std::vector<QString> folded;
        for (const QString &name : names)
            if (!isAsciiName(name))
                folded.push_back(nameKey(name));
        std::vector<SortKey> keys;
        keys.reserve(names.size());
        size_t next = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            const bool ascii = next == folded.size() || isAsciiName(names[i]);
            const QString &text = ascii ? names[i] : folded[next++];
            keys.push_back(
                SortKey{reinterpret_cast<const char16_t *>(text.constData()), quint32(text.size()), !ascii, qint32(i)});
        }
        std::sort(keys.begin(), keys.end(),
            [&](const SortKey &a, const SortKey &b) { return sortsBefore(a, b, names); });
        for (size_t i = 0; i < keys.size(); ++i)
            order[i] = keys[i].pos;
    }
    // Position i takes the name at order[i]; a done position points at itself.
    for (size_t start = 0; start < order.size(); ++start) {
        if (order[start] == qint32(start))
            continue;
        QString held = std::move(names[start]);
        size_t at = start;
        for (;;) {
            const size_t from = size_t(order[at]);
            order[at] = qint32(at);
            if (from == start) {
                names[at] = std::move(held);
                break;
            }
            names[at] = std::move(names[from]);
            at = from;
        }
    }
}

qsizetype KeyList::insert(const QString &name)
{
    const auto pos = std::upper_bound(mNames.begin(), mNames.end(), name, lessThan);
    const int row = int(pos - mNames.begin());
    beginInsertRows(QModelIndex(), row, row);
    mNames.insert(pos, name);
    endInsertRows();
    return row;
}

std::vector<qsizetype> KeyList::insertSorted(const std::vector<QString> &names)
{
    std::vector<qsizetype> rows;
    rows.reserve(names.size());
    std::vector<QString> merged;
    merged.reserve(mNames.size() + names.size());
    size_t i = 0;
    for (const QString &name : names) {
        while (i < mNames.size() && !lessThan(name, mNames[i]))
            merged.push_back(std::move(mNames[i++]));
        rows.push_back(qsizetype(merged.size()));
        merged.push_back(name);
    }
    std::move(mNames.begin() + qsizetype(i), mNames.end(), std::back_inserter(merged));
    assign(std::move(merged));
    return rows;
}

void KeyList::removeSorted(const std::vector<qsizetype> &rows)
{
    beginResetModel();
    size_t next = 0;
    qsizetype kept = 0;
    for (qsizetype row = 0; row < count(); ++row) {
        if (next < rows.size() && rows[next] == row) {
            ++next;
            continue;
        }
        if (kept != row)
            mNames[size_t(kept)] = std::move(mNames[size_t(row)]);
        ++kept;
    }
    mNames.resize(size_t(kept));
    endResetModel();
}

void KeyList::removeAt(qsizetype row)
{
    beginRemoveRows(QModelIndex(), int(row), int(row));
    mNames.erase(mNames.begin() + row);
    endRemoveRows();
}

qsizetype KeyList::rename(qsizetype row, const QString &name)
{
    // Only the rows between the old and the new place move.
    const auto from = mNames.begin() + row;
    auto to = std::upper_bound(mNames.begin(), mNames.end(), name, lessThan);
    if (to > from)
        --to; // the place once this row is out
    const int target = int(to - mNames.begin());
    if (target != row)
        beginMoveRows(QModelIndex(), int(row), int(row), QModelIndex(), target > row ? target + 1 : target);
    if (to > from)
        std::rotate(from, from + 1, to + 1);
    else if (to < from)
        std::rotate(to, from, from + 1);
    *to = name;
    if (target != row)
        endMoveRows();
    const QModelIndex changed = index(target);
    emit dataChanged(changed, changed);
    return target;
}

qsizetype KeyList::find(const QString &name) const
{
    const auto pos = std::lower_bound(mNames.begin(), mNames.end(), name,
        [](const QString &a, const QString &b) { return compareNames(a, b) < 0; });
    if (pos == mNames.end() || !namesEqual(*pos, name))
        return -1;
    return pos - mNames.begin();
}

qsizetype KeyList::equalRows(const QString &name) const
{
    const qsizetype first = find(name);
    qsizetype end = first;
    while (first >= 0 && end < count() && namesEqual(at(end), name))
        ++end;
    return end - first;
}

qsizetype KeyList::exactRow(const QString &name, qsizetype hint) const
{
    if (hint >= 0 && hint < count() && at(hint) == name)
        return hint;
    const qsizetype first = find(name);
    for (qsizetype row = first, end = first + equalRows(name); row >= 0 && row < end; ++row)
        if (at(row) == name)
            return row;
    return -1;
}

std::vector<QString> KeyList::assign(std::vector<QString> names)
{
    beginResetModel();
    mNames.swap(names);
    endResetModel();
    return names;
}

void KeyList::clear()
{
    assign({});
}

int KeyList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(mNames.size());
}

QVariant KeyList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(mNames.size()))
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return mNames[size_t(index.row())];
    return QVariant();
}

} // namespace Wordloom

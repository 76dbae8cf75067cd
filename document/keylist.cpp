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

void KeyList::sort(std::vector<QString> &names)
{
    // Comparing case-folded copies exactly gives the order of lessThan, much
    // faster than folding inside every comparison.
    struct Entry {
        QString folded;
        QString name;
    };
    std::vector<Entry> entries;
    entries.reserve(names.size());
    for (QString &name : names)
        entries.push_back(Entry{name.toCaseFolded(), std::move(name)});
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        const int c = a.folded.compare(b.folded, Qt::CaseSensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    for (size_t i = 0; i < entries.size(); ++i)
        names[i] = std::move(entries[i].name);
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

void KeyList::removeRows(const std::vector<qsizetype> &rows)
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

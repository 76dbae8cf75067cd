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

// The names to sort and, for those not ASCII, their case-folded copies;
// ASCII names fold on the fly, so they need no copy.
class FoldedNames {
public:
    explicit FoldedNames(const std::vector<QString> &names) : mNames(names), mFoldIndex(names.size(), -1)
    {
        for (size_t i = 0; i < names.size(); ++i) {
            if (!isAsciiName(names[i])) {
                mFoldIndex[i] = qint32(mFolded.size());
                mFolded.push_back(names[i].toCaseFolded());
            }
        }
    }

    // The order of the folded texts compared exactly, then of the names.
    bool before(qint32 a, qint32 b) const
    {
        const QString &na = mNames[size_t(a)];
        const QString &nb = mNames[size_t(b)];
        const qint32 fa = mFoldIndex[size_t(a)];
        const qint32 fb = mFoldIndex[size_t(b)];
        const QString &ta = fa < 0 ? na : mFolded[size_t(fa)];
        const QString &tb = fb < 0 ? nb : mFolded[size_t(fb)];
        const qsizetype n = std::min(ta.size(), tb.size());
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t ca = unit(ta, fa, i);
            const char16_t cb = unit(tb, fb, i);
            if (ca != cb)
                return ca < cb;
        }
        if (ta.size() != tb.size())
            return ta.size() < tb.size();
        return na < nb;
    }

private:
    static char16_t unit(const QString &text, qint32 fold, qsizetype i)
    {
        const char16_t c = text[i].unicode();
        return fold < 0 && c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    }

    const std::vector<QString> &mNames;
    std::vector<qint32> mFoldIndex;
    std::vector<QString> mFolded;
};

} // namespace

void KeyList::sort(std::vector<QString> &names)
{
    // Comparing case-folded texts exactly gives the order of lessThan, much
    // faster than folding inside every comparison. Positions are sorted and
    // the names then moved along their cycles, so no second vector of
    // names is needed.
    std::vector<qint32> order(names.size());
    {
        const FoldedNames folded(names);
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = qint32(i);
        std::sort(order.begin(), order.end(), [&](qint32 a, qint32 b) { return folded.before(a, b); });
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

#include "document/searchresults.h"

#include "document/hashlist.h"

#include <iterator>
#include <new>

namespace Wordloom {

SearchResults::SearchResults(const Hashlist &list, QObject *parent) : QAbstractListModel(parent), mList(list) {}

void SearchResults::show(std::vector<qint32> lines)
{
    beginResetModel();
    mLines = std::move(lines);
    mKeys = nullptr;
    mNames.clear();
    endResetModel();
}

void SearchResults::showRows(std::vector<qint32> rows, const std::vector<QString> &keys)
{
    beginResetModel();
    mLines = std::move(rows);
    mKeys = &keys;
    mNames.clear();
    endResetModel();
}

const QString &SearchResults::nameOf(qint32 at) const
{
    return mKeys ? (*mKeys)[size_t(at)] : mList.lineName(at);
}

void SearchResults::showNames(std::vector<QString> names)
{
    beginResetModel();
    mLines.clear();
    mNames = QStringList(std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()));
    endResetModel();
}

void SearchResults::keepNames()
{
    if (mLines.empty())
        return;
    try {
        QStringList names;
        names.reserve(qsizetype(mLines.size()));
        for (const qint32 pos : mLines)
            names.append(nameOf(pos));
        mNames = std::move(names);
        mLines.clear();
    } catch (const std::bad_alloc &) {
        // Called where the list cannot fail: the results go instead.
        beginResetModel();
        mLines.clear();
        endResetModel();
    }
}

int SearchResults::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(mNames.isEmpty() ? mLines.size() : size_t(mNames.size()));
}

QVariant SearchResults::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const size_t row = size_t(index.row());
    return mNames.isEmpty() ? nameOf(mLines[row]) : mNames[qsizetype(row)];
}

} // namespace Wordloom
